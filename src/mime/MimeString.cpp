// SPDX-License-Identifier: GPL-3.0-or-later
#include "mime/MimeString.h"

#include "mime/MimeChar.h"

namespace parcelo {

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && StartsWithNoCase(a, b);
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (mimechar::ToLowerAscii(text[i]) != mimechar::ToLowerAscii(prefix[i]))
            return false;
    }
    return true;
}

} // namespace parcelo
