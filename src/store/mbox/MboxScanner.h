// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/header/HeaderSummary.h"
#include "store/mbox/MboxMessage.h"
#include "store/mbox/MboxStateRules.h"

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QString>
#include <functional>
#include <vector>

namespace parcelo {

struct MboxScan {
    bool ok = false;
    QString error;
    qint64 size = 0;
    QDateTime modified;
    quint64 inode = 0;
    qint64 prefixLength = 0; // a UTF-8 byte-order mark before the first separator
    std::vector<MboxMessage> messages;
};

// True when the file is an mbox: empty, or starting with "From " after an optional UTF-8 BOM.
bool LooksLikeMbox(const QString& path);

// Reads the file once, front to back, and indexes its messages: offsets, sizes and flags.
MboxScan ScanMbox(const QString& path);

// Counts the open mbox's messages (expunged ones and the server's internal data left out) and
// the unread ones among them, with the file's identity into scan; false, with the reason in
// scan->error, otherwise. A file of at least splitSize bytes is read as two halves at once,
// split at a separator. Read as the rules say (null: as outside the mail client's profile).
struct MboxCounts {
    int messages = 0;
    int unread = 0;
};
inline constexpr qint64 kMboxSplitSize = 32 << 20;
bool CountMboxMessages(int fd, MboxScan* scan, MboxCounts* counts,
                       qint64 splitSize = kMboxSplitSize, const MboxStateRules* rules = nullptr);

// The identity of the open file (size, time, inode) into scan; false with the reason otherwise.
bool ReadMboxIdentity(int fd, MboxScan* scan, QString* error);

// Whether the file, open at its start, starts as an mbox does (see LooksLikeMbox).
bool StartsAsMbox(QFile* file);

// Reads the open file as an mbox, front to back, and gives each message to each in turn; the
// scan gets the file's identity and prefix, not the messages. False, with the reason in
// scan->error, when the file cannot be read or is no mbox.
bool ForEachMboxMessage(int fd, MboxScan* scan,
                        const std::function<void(const MboxMessage&)>& each);

// The header properties of a message from its separator line and header lines (see
// MboxReader); receivedDate is the date of the separator line.
void SummarizeMboxMessage(const QByteArray& separatorLine, const QByteArray& header,
                          HeaderSummary* summary, QDateTime* receivedDate);

// Whether the file is still the one that was scanned (same inode, size and time).
bool SameFileAsScanned(const QString& path, const MboxScan& scan);

} // namespace parcelo
