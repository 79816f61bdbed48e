// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/mbox/MboxScanner.h"

#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace parcelo {

// What happens to one message of an mbox file when its changes are applied.
// The mail client's fields are edited in place when every new value fits the old one's
// width; otherwise the file is rewritten.
struct MboxChange {
    bool drop = false;                 // leave the message out of the file
    std::optional<quint32> mozStatus;  // new X-Mozilla-Status value
    std::optional<quint32> mozStatus2; // new X-Mozilla-Status2 value
    std::optional<QByteArray> mozKeys; // new X-Mozilla-Keys value (padded to the old width)
    bool addRead = false;              // add R to Status, or a "Status: RO" field
    QByteArray addedFields;            // whole header lines put right after the separator line

    bool changesAnything() const {
        return drop || addRead || mozStatus || mozStatus2 || mozKeys || !addedFields.isEmpty();
    }
};

// Applies the changes (one per scanned message) under the mailbox's dot-lock (kept fresh
// while the change runs) and an fcntl write lock on the file, both held until the change is
// complete. When every change is an X-Mozilla-Status edit the file is edited in place;
// otherwise it is rewritten once through a temporary file, flushed and renamed over the
// original, with every byte of the other messages kept. What a program that does not lock
// appends meanwhile is copied too. A mailbox that is a symbolic link is rewritten where the
// link points, and the link stays. Fails without touching the file when it changed since the
// scan, or when another program took the dot-lock or put another file under the name during
// the rewrite, with the reason (and the lock that blocked the change) in error. The folder's
// NAME.msf index is removed after a change.
bool ApplyMboxChanges(const QString& path, const MboxScan& scan,
                      const std::vector<MboxChange>& changes, QString* error);

// Test seam: called at these moments of every rewrite (null: none).
enum class MboxRewriteStage {
    Locked,  // the mailbox is locked, nothing copied yet
    Copied,  // every kept message is in the temporary file, nothing renamed yet
    Renamed, // the new file has the mailbox's name
};
void SetMboxRewriteHook(std::function<void(MboxRewriteStage)> hook);

// The value of X-Mozilla-Status or -Status2: hex digits, zero-filled to the width.
QByteArray MozillaStatusText(quint32 value, int width);
// The value of X-Mozilla-Keys: the tags, space-filled to the width (room for later tags).
QByteArray PaddedKeys(const QByteArray& keys, int width);

// Whether X-Mozilla-Status of the message can hold the value in place.
bool FitsMozillaStatus(const MboxMessage& message, quint32 value);
// Whether the change is only edits of the mail client's fields, each fitting in place.
bool ChangesInPlace(const MboxMessage& message, const MboxChange& change);

} // namespace parcelo
