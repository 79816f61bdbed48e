// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/mbox/MboxMessage.h"

namespace parcelo {

class MailFolderIndex;

// How read and flagged are read from a mailbox. In the mail client's profile, as the client
// shows them: its index's state where the folder has a current index that holds the message,
// else the status fields as the client reads them (X-Mozilla-Status of its block after the
// separator line, else Status R or O is read, and X-Status means nothing). Elsewhere as other
// mail programs write them (Status R is read, X-Status F flagged).
struct MboxStateRules {
    bool clientProfile = false;
    const MailFolderIndex* index = nullptr; // the folder's current index, if it has one

    // Sets message->read and message->flagged; null rules read as outside a profile.
    static void apply(const MboxStateRules* rules, MboxMessage* message);
    // The client's flags of a message as the client takes them from the file alone.
    static quint32 ClientFlagsOfFile(const MboxMessage& message);
};

} // namespace parcelo
