// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/mbox/MboxChangePlan.h"

#include "store/mbox/MboxStateRules.h"
#include "store/mork/MailFolderIndex.h"

namespace parcelo {

namespace {

constexpr int kKeysWidth = 80; // the client pads its keys so that tags fit in place later

} // namespace

MboxChange PlanMboxChange(const MboxMessage& message, const MailFolderIndexEntry* entry,
                          const MboxChangeRequest& request) {
    MboxChange change;
    if (message.folderData)
        return change; // the server's, kept as it is
    if (request.compact && (message.expunged || request.remove)) {
        change.drop = true;
        return change;
    }
    const quint32 fileFlags = MboxStateRules::ClientFlagsOfFile(message);
    const QByteArray fileKeys = message.mozKeys.simplified();
    quint32 flags = fileFlags;
    QByteArray keys = fileKeys;
    if (entry) {
        flags = (fileFlags & ~kClientStateFlags) | (entry->flags & kClientStateFlags);
        keys = entry->keywords.simplified();
    }
    const bool carry = flags != fileFlags || keys != fileKeys;
    if (request.markRead)
        flags |= kMozillaRead;
    const QByteArray& end = message.lineEnd;

    if (message.mozStatusOffset < 0) {
        if (request.remove) {
            change.drop = true;
            return change;
        }
        // The client reads the first of its fields in a header, wherever it stands: without a
        // block of the client's above them, a sender's further down would stand for the state
        // that is marked, or that only the index holds once it is removed.
        if (carry || (message.mozFieldsBelowBlock && (entry || request.markRead)))
            change.addedFields = "X-Mozilla-Status: " + MozillaStatusText(flags & 0xFFFF, 4) + end +
                                 "X-Mozilla-Status2: " + MozillaStatusText(flags & 0xFFFF0000u, 8) +
                                 end + "X-Mozilla-Keys: " + PaddedKeys(keys, kKeysWidth) + end;
        if (request.markRead && !(message.statusLetters & kStatusLetterRead))
            change.addRead = true;
        return change;
    }

    if (request.remove)
        flags |= kMozillaExpunged;
    const quint32 status = (message.mozStatus & 0xFFFF0000u) | (flags & 0xFFFF);
    if (status != message.mozStatus)
        change.mozStatus = status;
    const quint32 status2 = (message.mozStatus2 & 0xFFFF) | (flags & 0xFFFF0000u);
    if (message.mozStatus2Offset >= 0) {
        if (status2 != message.mozStatus2)
            change.mozStatus2 = status2;
    } else if (status2 != 0) {
        change.addedFields += "X-Mozilla-Status2: " + MozillaStatusText(status2, 8) + end;
    }
    if (message.mozKeysOffset >= 0) {
        if (keys != fileKeys)
            change.mozKeys = keys;
    } else if (!keys.isEmpty()) {
        change.addedFields += "X-Mozilla-Keys: " + PaddedKeys(keys, kKeysWidth) + end;
    }
    // A deleted message that cannot be marked in place leaves the file in the rewrite.
    if (request.remove && !ChangesInPlace(message, change)) {
        change = MboxChange{};
        change.drop = true;
    }
    return change;
}

} // namespace parcelo
