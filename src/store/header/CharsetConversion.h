#pragma once

#include <QByteArray>

namespace parcelo {

// Converts text in the named charset to UTF-8 through iconv. Invalid sequences become U+FFFD.
// Returns false (and leaves utf8 empty) when the charset is unknown.
bool ConvertToUtf8(const QByteArray& charset, const QByteArray& text, QByteArray* utf8);

// Raw header bytes as UTF-8: kept when they are valid UTF-8, else read as windows-1252.
QByteArray RawTextToUtf8(const QByteArray& text);

} // namespace parcelo
