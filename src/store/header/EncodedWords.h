#pragma once

#include <QByteArray>

namespace parcelo {

// Decodes the RFC 2047 encoded words of an unfolded header text into UTF-8. Words are
// converted with the charset they name (Q and B encodings); white space between adjacent
// encoded words is dropped. Other bytes are taken as UTF-8, or windows-1252 when not valid UTF-8.
// Words naming an unknown charset are left as they stand.
QByteArray DecodeEncodedWords(const QByteArray& text);

} // namespace parcelo
