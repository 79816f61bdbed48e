// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QString>
#include <sys/types.h>

namespace parcelo {

// Confirms, before the source actions, that the files an earlier run recorded for messages
// still stand as written (see ExportManifest::FileStands), and flushes each file system they
// lie on to disk once: a message's source goes only while a copy of it is safely there.
class RecordedCopyCheck {
public:
    // False, with why in words, when the file (recorded with that size and inode) does not
    // stand or cannot be flushed.
    bool confirm(const QString& path, qint64 size, ino_t inode, QString* why);

private:
    QHash<dev_t, int> syncErrors_; // per file system: 0 once flushed, else the error
};

} // namespace parcelo
