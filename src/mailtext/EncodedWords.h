// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <string>
#include <string_view>

namespace parcelo {

struct DecodedHeaderText {
    std::string utf8;
    // Whether at least one encoded word was decoded; when not, utf8 is only the raw text read
    // as UTF-8 (or windows-1252).
    bool hadEncodedWords = false;
};

// Decodes the RFC 2047 encoded words of a header value into UTF-8. Each word is converted from
// the charset it names (an RFC 2231 language suffix such as "*de" is ignored); adjacent words of
// one charset are joined before conversion, so that a character split across them comes out
// whole; white space between adjacent words is dropped; words naming an unknown charset stay as
// they stand. Text outside words is taken as UTF-8, or windows-1252 when it is not valid UTF-8.
// Folding line breaks stay where they are.
//
// keepAddressSyntax is for address lists: decoded text that holds address syntax (a comma, a
// quote, "@" and the like) is written as a quoted string, or escaped when it already stands
// inside one, so that a display name such as "Doe, John" stays one name.
DecodedHeaderText DecodeHeaderText(std::string_view value, bool keepAddressSyntax = false);

// The same for the store's byte arrays: the decoded text as UTF-8.
QByteArray DecodeEncodedWords(const QByteArray& text);

} // namespace parcelo
