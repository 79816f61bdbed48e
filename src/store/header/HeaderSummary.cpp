#include "store/header/HeaderSummary.h"

#include "store/header/EncodedWords.h"
#include "store/header/MailAddressList.h"
#include "store/header/Rfc5322Date.h"

#include <QRegularExpression>

namespace parcelo {

QByteArray NormalizeSubject(const QByteArray& subject) {
    static const QRegularExpression prefix(
        QStringLiteral("^\\s*(?:re|fwd?)\\s*(?:\\[\\d+\\])?\\s*:\\s*"),
        QRegularExpression::CaseInsensitiveOption);
    QString text = QString::fromUtf8(subject).trimmed();
    for (;;) {
        const QRegularExpressionMatch match = prefix.match(text);
        if (!match.hasMatch() || match.capturedLength() == 0)
            break;
        text.remove(0, match.capturedLength());
    }
    return text.trimmed().toUtf8();
}

int HeaderPriority(const MessageHeader& header) {
    const QByteArray xPriority = header.value("X-Priority").trimmed();
    if (!xPriority.isEmpty()) {
        switch (xPriority[0]) {
        case '1':
        case '2':
            return IMSG_PRI_HIGH;
        case '4':
        case '5':
            return IMSG_PRI_LOW;
        default:
            break;
        }
    }
    for (const char* name : {"Importance", "Priority"}) {
        const QByteArray value = header.value(name).trimmed().toLower();
        if (value == "high" || value == "urgent")
            return IMSG_PRI_HIGH;
        if (value == "low" || value == "non-urgent")
            return IMSG_PRI_LOW;
    }
    return IMSG_PRI_NORMAL;
}

HeaderSummary SummarizeHeader(const MessageHeader& header) {
    HeaderSummary summary;
    const QList<QByteArray> from = AddressDisplayNames(header.value("From"));
    if (!from.isEmpty())
        summary.displayFrom = from.first();
    summary.displayTo = AddressDisplayNames(header.value("To")).join(", ");
    summary.normalSubject = NormalizeSubject(DecodeEncodedWords(header.value("Subject")));
    if (const QByteArray* date = header.find("Date"))
        summary.sent = ParseRfc5322Date(*date);
    if (const QByteArray* received = header.find("Received")) {
        const qsizetype semicolon = received->lastIndexOf(';');
        if (semicolon >= 0)
            summary.firstReceived = ParseRfc5322Date(received->mid(semicolon + 1));
    }
    summary.priority = HeaderPriority(header);
    return summary;
}

void ApplyHeaderSummary(const HeaderSummary& summary, const QDateTime& storeReceived,
                        MESSAGEPROPS* props) {
    props->priority = summary.priority;
    props->ftSent = summary.sent;
    props->ftReceived = storeReceived.isValid()           ? storeReceived
                        : summary.firstReceived.isValid() ? summary.firstReceived
                                                          : summary.sent;
    props->pszDisplayFrom = summary.displayFrom;
    props->pszDisplayTo = summary.displayTo;
    props->pszNormalSubject = summary.normalSubject;
}

} // namespace parcelo
