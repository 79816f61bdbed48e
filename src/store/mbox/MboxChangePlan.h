// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/mbox/MboxRewriter.h"

namespace parcelo {

struct MailFolderIndexEntry;

// The client's message flags that are the user's own state, which only its index may hold:
// read, replied, flagged, watched, forwarded, ignored, receipt sent, and the old labels.
inline constexpr quint32 kClientStateFlags =
    0x0001 | 0x0002 | 0x0004 | 0x0100 | 0x1000 | 0x00040000 | 0x00800000 | 0x0E000000;

// What is asked of one message when its mailbox changes.
struct MboxChangeRequest {
    bool markRead = false;
    bool remove = false;
    bool compact = false; // the mailbox is compacted: deleted messages leave the file
};

// The change that does what is asked and, where the mail client's current index holds the
// message (entry), carries the index's state into the message's X-Mozilla-Status,
// X-Mozilla-Status2 and X-Mozilla-Keys fields, adding them right after the separator line
// where the message has none: the index is removed after the change, and the client then
// reads the state from the file. The server's internal-data message is never changed.
MboxChange PlanMboxChange(const MboxMessage& message, const MailFolderIndexEntry* entry,
                          const MboxChangeRequest& request);

} // namespace parcelo
