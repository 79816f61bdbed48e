// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>

namespace parcelo {

// Sets a file's modification and access times to the given instant (the nearest this
// platform has to a settable creation time). A link is changed itself, never its target.
// False when the file cannot be changed.
bool SetFileTimes(const QString& path, const QDateTime& instant);

} // namespace parcelo
