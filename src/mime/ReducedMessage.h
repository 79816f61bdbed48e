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

// The reduced message for a message source (CR LF line ends): "MIME-Version: 1.0", the
// selected header fields of the message (none of the Content- fields, which describe a body
// that is built anew), its last plain-text and last HTML body, and the selected attachments
// as base64 parts carrying their names. The structure follows the source's Content-Type: a
// plain or HTML message stays a single text body, an alternative one keeps both texts, and
// anything else (or any message with kept attachments) becomes multipart/mixed.
// Header names match ignoring case; attachment names match exactly.
std::string ReducedMessageBytes(const std::string& source, const MessageSelection& selection);

} // namespace parcelo
