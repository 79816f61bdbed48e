// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string_view>

namespace parcelo {

// Whether a header field of that name holds a store's state of the message (any letter case):
// the mail client's status, flags and tags; the Status and X-Status of mbox readers and servers;
// a server's keywords and its UID bookkeeping. Stores rewrite them in place as the state changes.
bool IsStoreStateField(std::string_view name);

// The field name of a header line, or empty when the line is no field ("From " envelope lines,
// garbage). White space before the colon is the obsolete syntax, still a field.
std::string_view HeaderFieldName(std::string_view line);

} // namespace parcelo
