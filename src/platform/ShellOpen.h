// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace parcelo {

// Opens a file or folder with the user's default application (the desktop's "open").
// False when no opener could be started.
bool ShellOpen(const QString& path);

} // namespace parcelo
