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
    int attachmentsKept = 0; // counted only when attachments are chosen
    int attachmentsLeftOut = 0;
    bool onlyHeader = false; // nothing of the content was kept
};

// Takes out of a message file (CR LF line ends) what the selection leaves out, in place; every
// byte that stays is the file's own, in its order, so that whatever is kept reads as before,
// signatures included.
//
// The header choice applies to the top-level header: the fields it names (ignoring case), and
// always MIME-Version and the Content- fields, which the rest is read by.
//
// The body is never left out: the first text part that is not an attachment (or a plain or
// HTML text even when named) or the first multipart/alternative or multipart/related, searched
// depth first through the other multiparts; of a multipart/related, the parts its text refers
// to by Content-ID or Content-Location. A signed or encrypted entity (multipart/signed,
// multipart/encrypted, PKCS #7) and a multipart whose parts cannot be found are never cut
// inside: where the body would be, they are the body.
//
// Every other leaf part, attached message and such entity is an attachment, named by its file
// name, else its name parameter (RFC 2231 pieces joined, encoded words decoded), else, for an
// attached message, its Subject and ".eml". Attachments "All" keeps them all; "Some" those
// whose name is in the list (matched exactly); "None" none. One left out goes whole, with its
// delimiter line, and a multipart left with no part goes as well. When nothing of the content
// stays, the Content- fields go with it and the file is the header and its blank line.
ReducedMessageCounts ReduceMessageFile(std::string& file, const MessageSelection& selection);

} // namespace parcelo
