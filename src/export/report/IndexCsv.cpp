// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/report/IndexCsv.h"

namespace parcelo {

QByteArray IndexCsvHeading() {
    return QByteArrayLiteral("\xEF\xBB\xBF"
                             "Sent,Sender name,Sender address,Recipients,Subject,Folder,File,"
                             "Size,Attachments,Read,Flagged,Message-ID\r\n");
}

void AppendCsvField(QByteArray* out, QByteArrayView utf8) {
    bool quoted = false;
    for (const char c : utf8) {
        if (c == ',' || c == '"' || c == '\r' || c == '\n') {
            quoted = true;
            break;
        }
    }
    if (!quoted) {
        out->append(utf8);
        return;
    }
    out->append('"');
    for (const char c : utf8) {
        if (c == '"')
            out->append('"');
        out->append(c);
    }
    out->append('"');
}

PreparedCsvRow PrepareCsvRow(const IndexCsvEntry& entry) {
    PreparedCsvRow row;
    for (const QString* text : {&entry.sent, &entry.senderName, &entry.senderAddress,
                                &entry.recipients, &entry.subject, &entry.folder}) {
        AppendCsvField(&row.beforePath, text->toUtf8());
        row.beforePath.append(',');
    }
    QByteArray& after = row.afterPath;
    after.append(',').append(QByteArray::number(entry.size));
    after.append(',').append(QByteArray::number(entry.attachments));
    after.append(',').append(entry.read ? '1' : '0');
    after.append(',').append(entry.flagged ? '1' : '0');
    after.append(',');
    AppendCsvField(&after, entry.messageId.toUtf8());
    after.append("\r\n");
    return row;
}

} // namespace parcelo
