// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

namespace parcelo {

// One exported message as a row of the CSV index (RFC 4180, UTF-8).
struct IndexCsvEntry {
    QString sent;          // ISO 8601 with the offset the message gives, empty when it has none
    QString senderName;    // the first From mailbox's display name, decoded
    QString senderAddress; // and its address
    QString recipients;    // the To, Cc and Bcc mailboxes as one address list
    QString subject;       // decoded
    QString folder;        // the mail folder's tree path
    qint64 size = 0;       // of the message file, in bytes
    int attachments = 0;
    bool read = false;
    bool flagged = false;
    QString messageId;
};

// What a new index starts with: the UTF-8 byte order mark, by which spreadsheets (LibreOffice
// Calc, Excel) take the file for UTF-8 whatever the user's locale, and the column names, with
// their CR LF.
QByteArray IndexCsvHeading();

// A row's UTF-8 bytes made before its file has a name: the fields before the file's path and
// those after it, with the closing CR LF.
struct PreparedCsvRow {
    QByteArray beforePath;
    QByteArray afterPath;
    bool isEmpty() const { return beforePath.isEmpty(); }
};
PreparedCsvRow PrepareCsvRow(const IndexCsvEntry& entry);

// Appends one field: quoted, with its quotes doubled, when it holds a comma, a quote or a line
// break; as it is otherwise.
void AppendCsvField(QByteArray* out, QByteArrayView utf8);

} // namespace parcelo
