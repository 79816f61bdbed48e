// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mime/CFieldCodeAddress.h"
#include "mime/CFieldCodeBase.h"
#include "mime/CFieldCodeParameter.h"
#include "mime/CFieldCodeText.h"
#include "mime/CMimeCodeBase.h"

#include <memory>
#include <string_view>
#include <variant>

namespace parcelo {

// The transfer codec for a "Content-Transfer-Encoding" value: quoted-printable, base64 with
// line breaks, or identity for any other value (a missing field counts as "7bit").
std::unique_ptr<CMimeCodeBase> CreateTransferCoder(std::string_view encoding);

// Whether two "Content-Transfer-Encoding" values select the same transfer codec.
bool SameTransferCoder(std::string_view a, std::string_view b);

// The field codec for a header field name.
std::unique_ptr<CFieldCodeBase> CreateFieldCoder(std::string_view fieldName);

// The same codec held in place: fields are decoded far more often than a codec is worth a
// memory allocation.
class FieldCoder {
public:
    explicit FieldCoder(std::string_view fieldName);
    CFieldCodeBase* operator->() {
        return std::visit([](auto& coder) -> CFieldCodeBase* { return &coder; }, coder_);
    }

private:
    std::variant<CFieldCodeBase, CFieldCodeText, CFieldCodeAddress, CFieldCodeParameter> coder_;
};

} // namespace parcelo
