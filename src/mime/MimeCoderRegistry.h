// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mime/CFieldCodeBase.h"
#include "mime/CMimeCodeBase.h"

#include <memory>
#include <string_view>

namespace parcelo {

// The transfer codec for a "Content-Transfer-Encoding" value: quoted-printable, base64 with
// line breaks, or identity for any other value (a missing field counts as "7bit").
std::unique_ptr<CMimeCodeBase> CreateTransferCoder(std::string_view encoding);

// Whether two "Content-Transfer-Encoding" values select the same transfer codec.
bool SameTransferCoder(std::string_view a, std::string_view b);

// The field codec for a header field name.
std::unique_ptr<CFieldCodeBase> CreateFieldCoder(std::string_view fieldName);

} // namespace parcelo
