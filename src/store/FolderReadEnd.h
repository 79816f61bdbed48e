// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Sha256.h"

#include <QByteArray>
#include <QtGlobal>
#include <optional>

namespace parcelo {

// Where a read of a folder's file through to its end stopped, and what shows later that the
// file has only grown since: the same file, no shorter, the same bytes (but for the status
// fields the stores rewrite in place) in a stretch before the end, and its last message still
// ending there. A later read may then start at the end and find only what was added.
struct FolderReadEnd {
    quint64 inode = 0;
    qint64 end = 0;         // the file ended here
    qint64 lastStart = -1;  // where the last message before end starts
    qint64 checkedFrom = 0; // the stretch [checkedFrom, end) had the digest
    Sha256Digest digest{};
    qint64 messages = 0; // the folder's messages before end

    // As text of a line, which a later version reads or takes for none.
    QByteArray encode() const;
    static std::optional<FolderReadEnd> decode(QByteArrayView text);
};

} // namespace parcelo
