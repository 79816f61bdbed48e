// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace parcelo {

// Converts text in the named charset to UTF-8 through iconv, appending to utf8. An RFC 2231
// language suffix ("iso-8859-1*de") is ignored; invalid sequences become U+FFFD. Returns false
// and appends nothing when the charset is unknown.
bool ConvertToUtf8(std::string_view charset, std::string_view text, std::string& utf8);

bool IsValidUtf8(std::string_view text);

// Header bytes that name no charset, as UTF-8: kept when they are valid UTF-8, else read as
// windows-1252, the charset such raw 8-bit headers mostly come in.
std::string RawTextToUtf8(std::string_view text);

} // namespace parcelo
