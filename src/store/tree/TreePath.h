// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

namespace parcelo {

// A tree path is the root name followed, for each folder from the top down, by "\" and the
// folder's name as TreePathName writes it, so that "\" only ever separates names and every
// folder has a path of its own. A name is written as it is except for:
//   "\"                                   %5C
//   "%" followed by two hex digits        %25
//   control characters (U+0000-U+001F, U+007F-U+009F) and bytes that are not UTF-8:
//                                         %XX for each byte
// so "Inbox" stays "Inbox", "a\b" is "a%5Cb" and the Latin-1 "Entw\xFCrfe" is "Entw%FCrfe".
QString TreePathName(const QByteArray& name);

// The bytes of a name written as above: %XX (either case) is the byte XX, every other
// character its UTF-8.
QByteArray TreePathNameBytes(const QString& written);

// The path with each name rewritten by TreePathName(TreePathNameBytes(name)): the one
// spelling of a path that a user may have typed with other escapes ("%5c", "%41").
QString CanonicalTreePath(const QString& path);

} // namespace parcelo
