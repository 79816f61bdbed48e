// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/report/CsvEntryOfMessage.h"

#include "mailtext/EncodedWords.h"
#include "mailtext/MailAddressList.h"
#include "mailtext/Rfc5322Date.h"

#include <algorithm>
#include <cstdlib>

namespace parcelo {

namespace {

// The field's value as the message has it: unfolded, encoded words and all.
QByteArray RawValue(const CMimeHeader& header, std::string_view name) {
    const CMimeHeaderField* field = header.FindField(name);
    if (!field)
        return {};
    const std::string& source = field->GetSource();
    if (source.empty())
        return QByteArray::fromStdString(field->GetValue()).simplified();
    QByteArray value = QByteArray::fromStdString(source);
    value = value.mid(value.indexOf(':') + 1);
    value.replace("\r\n", "").replace('\n', "");
    return value.trimmed();
}

QString Utf8(const QByteArray& bytes) {
    return QString::fromUtf8(bytes);
}

// A display name is quoted where it holds what an address list would read otherwise.
QByteArray AddressText(const MailAddress& address) {
    if (address.name.isEmpty())
        return address.address;
    QByteArray name = address.name;
    if (name.contains('"') || name.contains('\\'))
        name.replace("\\", "\\\\").replace("\"", "\\\"");
    const bool special = std::any_of(name.begin(), name.end(), [](char c) {
        return QByteArrayView("()<>[]:;@\\,.\"").contains(c);
    });
    if (special)
        name = '"' + name + '"';
    return name + " <" + address.address + '>';
}

bool IsAttachment(const CMimeBody& part) {
    const CMimeHeaderField* disposition = part.FindField("Content-Disposition");
    if (disposition) {
        QByteArray type = QByteArray::fromStdString(disposition->GetValue());
        if (const qsizetype semicolon = type.indexOf(';'); semicolon >= 0)
            type.truncate(semicolon);
        type = type.trimmed().toLower();
        if (type == "attachment" || !disposition->GetParameter("filename").empty())
            return true;
    }
    return !part.GetName().empty();
}

} // namespace

QString IsoDateText(const QDateTime& utc, int offsetSeconds) {
    const QDateTime local = utc.toUTC().addSecs(offsetSeconds); // its clock read as UTC's
    const int minutes = std::abs(offsetSeconds) / 60;
    return local.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) +
           QLatin1Char(offsetSeconds < 0 ? '-' : '+') +
           QStringLiteral("%1:%2")
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

int CountAttachments(const CMimeBody& message) {
    std::vector<const CMimeBody*> leaves;
    message.CollectLeafParts(leaves);
    return static_cast<int>(std::count_if(
        leaves.begin(), leaves.end(), [](const CMimeBody* part) { return IsAttachment(*part); }));
}

IndexCsvEntry CsvEntryOfMessage(const CMimeMessage& message, const MESSAGEPROPS& props,
                                const QString& treePath, qint64 fileSize, int attachments) {
    IndexCsvEntry entry;
    int offset = 0;
    const QDateTime sent = ParseRfc5322Date(RawValue(message, "Date"), &offset);
    if (sent.isValid())
        entry.sent = IsoDateText(sent, offset);
    const QList<MailAddress> from = MailAddresses(RawValue(message, "From"));
    if (!from.isEmpty()) {
        entry.senderName = Utf8(from.front().name);
        entry.senderAddress = Utf8(from.front().address);
    }
    QByteArray recipients;
    for (const char* name : {"To", "Cc", "Bcc"}) {
        for (const MailAddress& address : MailAddresses(RawValue(message, name))) {
            if (!recipients.isEmpty())
                recipients += ", ";
            recipients += AddressText(address);
        }
    }
    entry.recipients = Utf8(recipients);
    entry.subject = Utf8(DecodeEncodedWords(RawValue(message, "Subject")));
    entry.folder = treePath;
    entry.size = fileSize;
    entry.attachments = attachments;
    entry.read = !(props.dwState & MSG_UNREAD);
    entry.flagged = (props.dwState & MSG_FLAGGED) != 0;
    entry.messageId = Utf8(RawValue(message, "Message-ID"));
    return entry;
}

} // namespace parcelo
