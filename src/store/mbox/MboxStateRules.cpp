// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/mbox/MboxStateRules.h"

#include "store/mork/MailFolderIndex.h"

namespace parcelo {

quint32 MboxStateRules::ClientFlagsOfFile(const MboxMessage& message) {
    if (message.mozStatusOffset >= 0)
        return message.mozStatus | (message.mozStatus2 & 0xFFFF0000u);
    // The client takes a message that other programs saw (O) as read as well.
    return message.statusLetters & (kStatusLetterRead | kStatusLetterOld) ? kMozillaRead : 0;
}

void MboxStateRules::apply(const MboxStateRules* rules, MboxMessage* message) {
    if (rules && rules->index) {
        if (const MailFolderIndexEntry* entry = rules->index->findAt(message->separatorStart)) {
            message->read = entry->flags & kMozillaRead;
            message->flagged = entry->flags & kMozillaFlagged;
            return;
        }
    }
    if (message->mozStatusOffset >= 0) {
        message->read = message->mozStatus & kMozillaRead;
        message->flagged = message->mozStatus & kMozillaFlagged;
    } else if (rules && rules->clientProfile) {
        message->read = ClientFlagsOfFile(*message) & kMozillaRead;
        message->flagged = false;
    } else {
        message->read = message->statusLetters & kStatusLetterRead;
        message->flagged = message->statusLetters & kXStatusLetterFlagged;
    }
}

} // namespace parcelo
