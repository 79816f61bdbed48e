// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/header/HeaderSummary.h"

#include "mailtext/EncodedWords.h"
#include "mailtext/MailAddressList.h"
#include "mailtext/Rfc5322Date.h"

#include <algorithm>

namespace parcelo {

namespace {

// The character at i of a UTF-16 text, or of a text all ASCII.
char16_t At(QStringView text, qsizetype i) {
    return text[i].unicode();
}
char16_t At(QByteArrayView text, qsizetype i) {
    return char16_t(uchar(text[i]));
}

template <typename View> bool IsLetter(View text, qsizetype i, char16_t lower) {
    return i < text.size() && (At(text, i) == lower || At(text, i) == lower - 32);
}

// Length of one leading "Re:", "Fw:" or "Fwd:" (white space around, an optional "[n]"
// counter before the colon), or 0.
template <typename View> qsizetype PrefixLength(View text) {
    qsizetype i = 0;
    const auto skipSpace = [&] {
        // The same white space as trimmed() drops, else a prefix after a no-break space stays.
        while (i < text.size() && QChar::isSpace(At(text, i)))
            ++i;
    };
    skipSpace();
    if (IsLetter(text, i, u'r') && IsLetter(text, i + 1, u'e')) {
        i += 2;
    } else if (IsLetter(text, i, u'f') && IsLetter(text, i + 1, u'w')) {
        i += IsLetter(text, i + 2, u'd') ? 3 : 2;
    } else {
        return 0;
    }
    skipSpace();
    if (i < text.size() && At(text, i) == u'[') {
        qsizetype j = i + 1;
        while (j < text.size() && At(text, j) >= u'0' && At(text, j) <= u'9')
            ++j;
        if (j > i + 1 && j < text.size() && At(text, j) == u']')
            i = j + 1;
    }
    skipSpace();
    if (i >= text.size() || At(text, i) != u':')
        return 0;
    ++i;
    skipSpace();
    return i;
}

template <typename View> View WithoutPrefixes(View text) {
    text = text.trimmed();
    qsizetype start = 0;
    while (const qsizetype length = PrefixLength(text.sliced(start)))
        start += length;
    return text.sliced(start).trimmed();
}

} // namespace

QByteArray NormalizeSubject(const QByteArray& subject) {
    // An ASCII subject reads the same as bytes, without a round trip through UTF-16.
    if (std::all_of(subject.begin(), subject.end(), [](char c) { return uchar(c) < 0x80; })) {
        const QByteArrayView normal = WithoutPrefixes(QByteArrayView(subject));
        if (normal.size() == subject.size())
            return subject;
        if (!normal.isEmpty())
            return normal.toByteArray();
    }
    const QString text = QString::fromUtf8(subject);
    return WithoutPrefixes(QStringView(text)).toUtf8();
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

HeaderSummary SummarizeHeader(const MessageHeader& header, bool needReceived) {
    HeaderSummary summary;
    const QList<QByteArray> from = AddressDisplayNames(header.value("From"));
    if (!from.isEmpty())
        summary.displayFrom = from.first();
    const QList<QByteArray> to = AddressDisplayNames(header.value("To"));
    summary.displayTo = to.size() == 1 ? to.first() : to.join(", ");
    summary.normalSubject = NormalizeSubject(DecodeEncodedWords(header.value("Subject")));
    if (const QByteArray* date = header.find("Date"))
        summary.sent = ParseRfc5322Date(*date);
    if (const QByteArray* received = needReceived ? header.find("Received") : nullptr) {
        const qsizetype semicolon = received->lastIndexOf(';');
        if (semicolon >= 0)
            summary.firstReceived = ParseRfc5322Date(received->mid(semicolon + 1));
    }
    summary.priority = HeaderPriority(header);
    return summary;
}

MessageHeader SummaryFieldsOf(const QByteArray& header, bool needReceived) {
    if (needReceived)
        return MessageHeader(header, {"From", "To", "Subject", "Date", "X-Priority", "Importance",
                                      "Priority", "Received"});
    return MessageHeader(header,
                         {"From", "To", "Subject", "Date", "X-Priority", "Importance", "Priority"});
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
