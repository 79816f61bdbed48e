// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace parcelo {

// Names are cut at 250 UTF-16 units before the extension and any "_n" suffix.
inline constexpr qsizetype kMaxNameUnits = 250;
// The file system's limit for one name (file or directory), in bytes of UTF-8.
inline constexpr qsizetype kMaxNameBytes = 255;

// The code point at i (a surrogate pair read as one) and how many UTF-16 units it takes.
// A lone surrogate is returned as it is.
char32_t CodePointAt(const QString& text, qsizetype i, qsizetype* units);

// The longest prefix of text, ending at a character boundary, whose UTF-8 form takes at
// most maxBytes bytes.
QString CutToUtf8Bytes(const QString& text, qsizetype maxBytes);

} // namespace parcelo
