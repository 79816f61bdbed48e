// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace parcelo {

// One message of an mbox file, as offsets into the file.
struct MboxMessage {
    qint64 separatorStart = 0; // the "From " line
    qint64 contentStart = 0;   // the message's first header line
    qint64 headerEnd = 0;      // where the empty line after the header starts (or the header's end)
    qint64 contentEnd =
        0; // the message's end, without the empty line before the next separator or the end
    qint64 regionEnd = 0;              // the next separator, or the end of the file
    quint64 cbMessage = 0;             // size as streamed (CR LF, unescaped)
    bool headerLineEndMissing = false; // the header's last line has no line end
    QByteArray lineEnd =
        QByteArray::fromRawData("\n", 1); // line end of the separator line, reused for added fields
    qint64 bodyStart = -1;     // after the empty line that ends the header; -1: no such line
    qint64 contentLength = -1; // the value of its Content-Length field, when it has one
    // Its end is where Content-Length says (see MboxContentLength): its lines are then taken as
    // written, without removing a '>' from ">From " lines.
    bool lengthEnded = false;
    // The mail server's internal data at the file's front, which keeps the folder's UIDs: the
    // first message, with the server's subject and an X-IMAP or X-IMAPbase field. No mail.
    bool folderData = false;

    // The mail client's fields as it writes them: in a block of the header's first fields,
    // right after the separator line. Further down they are the sender's, and count for nothing.
    qint64 mozStatusOffset = -1; // value of X-Mozilla-Status when it is hex digits
    int mozStatusLength = 0;
    quint32 mozStatus = 0;
    qint64 statusValueOffset = -1; // where the value of Status starts
    // X-Mozilla-Status2 (hex digits) and X-Mozilla-Keys (the value to its line end, padding
    // included), which the mail client writes after X-Mozilla-Status.
    qint64 mozStatus2Offset = -1;
    int mozStatus2Length = 0;
    quint32 mozStatus2 = 0;
    qint64 mozKeysOffset = -1;
    int mozKeysLength = 0;
    QByteArray mozKeys;
    // X-Mozilla-Status, -Status2 or -Keys further down, which the client, reading the first of
    // each in a header, takes for its own where the block has none.
    bool mozFieldsBelowBlock = false;
    quint8 statusLetters = 0; // kStatusLetterRead, kStatusLetterOld, kXStatusLetterFlagged

    bool read = false;
    bool flagged = false;
    bool expunged = false; // X-Mozilla-Status 0x0008
};

inline constexpr quint32 kMozillaRead = 0x0001;
inline constexpr quint32 kMozillaFlagged = 0x0004;
inline constexpr quint32 kMozillaExpunged = 0x0008;

inline constexpr quint8 kStatusLetterRead = 0x1;     // Status holds R
inline constexpr quint8 kStatusLetterOld = 0x2;      // Status holds O
inline constexpr quint8 kXStatusLetterFlagged = 0x4; // X-Status holds F

} // namespace parcelo
