// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

namespace parcelo {

// Writes the file beside the old one and renames it over, flushed to disk, so it is either
// complete or untouched. The old file's mode is kept; a new one gets 0666 less the umask. A
// link is followed to the file it names (made if it does not exist), and the link stays. The
// system's reason for a failure goes to error.
bool SaveWholeFile(const QString& path, const QByteArray& bytes, QString* error = nullptr);

} // namespace parcelo
