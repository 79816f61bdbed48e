// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/FileInDirectory.h"

#include <QByteArray>
#include <QString>

namespace parcelo {

enum class RenameResult {
    Renamed, // the file now has the new name and no longer the old one
    Taken,   // something already has the new name; nothing changed
    Failed,  // nothing changed; errno says why
};

// Renames from to to unless anything (a file, a link, a directory) has that name, so nothing is
// ever replaced. Where the file system lacks the no-replace rename, a hard link and an unlink
// keep the same promise.
RenameResult RenameNoReplace(const QString& from, const QString& to);
RenameResult RenameNoReplace(const QByteArray& from, const QByteArray& to); // names as on disk
RenameResult RenameNoReplace(const FileInDirectory& from, const FileInDirectory& to);

} // namespace parcelo
