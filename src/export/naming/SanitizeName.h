// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace parcelo {

// Cleans a text for use as a file or folder name: letters and digits of any script stay,
// the characters \ / : * ? ! " ' < > | go, and so do the controls (U+0000-U+001F,
// U+007F-U+009F) and the marks, embeddings, overrides and isolates that set the direction
// of text (U+061C, U+200E, U+200F, U+202A-U+202E, U+2066-U+2069); trailing white space goes, the
// result is cut at 250 UTF-16 units (never inside a surrogate pair) and an empty result becomes "No
// Name".
QString SanitizeName(const QString& text);

// SanitizeName for a file name: leading dots go as well, as they go from folder names, so that
// no subject makes a hidden file (".....etcpasswd" is "etcpasswd").
QString SanitizeFileName(const QString& text);

// The text without the controls and direction characters that SanitizeName takes out.
QString WithoutHiddenCharacters(const QString& text);

// One directory name under the destination: not empty, not "." or "..", at most 255 bytes
// of UTF-8, none of \ / : * ? " < > | and no NUL.
bool IsValidPathComponent(const QString& name);

} // namespace parcelo
