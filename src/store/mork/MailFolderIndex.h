// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QtGlobal>
#include <vector>

namespace parcelo {

// One message row of a mail folder's index.
struct MailFolderIndexEntry {
    quint32 messageKey = 0; // the row's id
    // Where the message's "From " line starts in the mbox file; -1 unknown. Taken from the
    // decimal storeToken, else the hex msgOffset; an index with neither is from the time when
    // the key was the offset, so the key is used and offsetFromKey says so.
    qint64 offset = -1;
    bool offsetFromKey = false;
    quint32 flags = 0;    // the client's message flags as stored (0x1 read, 0x2 replied, ...)
    QByteArray keywords;  // tags, space-separated, as stored
    QByteArray messageId; // as the index stores it (no angle brackets)
};

// The message table of a mail folder's index (NAME.msf), read from its Mork text.
class MailFolderIndex {
public:
    // Parses the bytes of an index file; false with a reason when they are not a readable
    // index (a damaged file is not read at all, as the client rebuilds it then).
    bool load(QByteArrayView bytes, QString* error);
    // Entry whose message starts at offset (the first in the table when several claim it),
    // or null.
    const MailFolderIndexEntry* findAt(qint64 offset) const;
    // In the order of the index's message table.
    const std::vector<MailFolderIndexEntry>& entries() const { return entries_; }

private:
    std::vector<MailFolderIndexEntry> entries_;
    // Offsets with the first entry at each, by offset.
    std::vector<std::pair<qint64, quint32>> byOffset_;
};

// Reads NAME.msf of a mailbox file; false with a reason when it cannot be read or parsed.
bool ReadMailFolderIndex(const QString& indexPath, MailFolderIndex* index, QString* error);

} // namespace parcelo
