// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>
#include <string>

namespace parcelo {

// Which header fields and attachments a message file keeps: 2 all, 1 those named in the list,
// any other value none (the values of ExportHeaders and ExportAttachments).
struct MessageSelection {
    int headersMode = 2;
    QStringList headerNames;
    int attachmentsMode = 2;
    QStringList attachmentNames;

    // Everything is kept: the file is the whole message.
    bool keepsWholeMessage() const { return headersMode == 2 && attachmentsMode == 2; }
};

// What a reduction kept and left out of one message.
struct ReducedMessageCounts {
    int attachmentsKept = 0; // counted only when attachments are not "All"
    int attachmentsLeftOut = 0;
    bool onlyHeader = false; // nothing of the content was kept
};

// Takes out of a message file (CR LF line ends) what the selection leaves out, in place; every
// byte that stays is the file's own, in its order, so whatever is kept reads as before,
// signatures included (README, "Headers and attachments", has the rules in full).
//
// The header choice applies to the top-level fields up to the first line that is no field;
// MIME-Version and the Content- fields always stay. The body always stays: the first text
// that is no attachment, or the multipart/alternative or multipart/related around it (of a
// related one, its root, its texts and the parts they refer to), with an HTML or plain text
// right beside a plain or HTML one. A signed or encrypted entity where the body would be is the
// body, and so is the whole content when it is another message or a multipart whose parts
// cannot be found. Every other leaf part, attached message and signed or encrypted entity is
// an attachment, named by its file name, name, or Subject and ".eml"; one left out goes whole,
// a multipart left with no part as well, and with no content left the Content- fields go too.
ReducedMessageCounts ReduceMessageFile(std::string& file, const MessageSelection& selection);

} // namespace parcelo
