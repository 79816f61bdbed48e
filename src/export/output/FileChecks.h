// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace parcelo {

// False for a path shorter than 3 characters; otherwise whether it names a directory.
bool DirectoryExists(const QString& path);

// False for a path of 3 characters or fewer and for a directory; otherwise whether
// anything (a file, a link wherever it points, even nowhere) has that name.
bool FileExists(const QString& path);

} // namespace parcelo
