// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/dates/MailDate.h"

#include "export/dates/ParseMailDate.h"

#include <array>
#include <limits>

namespace parcelo {

namespace {

const QString kNumericFormat = QStringLiteral("MM/dd/yyyy HH:mm:ss");

qsizetype zoneStart(const QString& text) {
    qsizetype pos = text.indexOf(u'+');
    if (pos < 0)
        pos = text.indexOf(u'-');
    if (pos >= 0)
        return pos;
    static const std::array<QLatin1String, 10> tokens = {
        QLatin1String("UT"),  QLatin1String("GMT"), QLatin1String("EST"), QLatin1String("EDT"),
        QLatin1String("CST"), QLatin1String("CDT"), QLatin1String("MST"), QLatin1String("MDT"),
        QLatin1String("PST"), QLatin1String("PDT")};
    for (const QLatin1String& token : tokens) {
        pos = text.indexOf(token);
        if (pos >= 0)
            return pos;
    }
    return -1;
}

QString withoutTrailingSpace(const QString& text) {
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1).isSpace())
        --end;
    return text.left(end);
}

QString withoutLeadingSpace(const QString& text) {
    qsizetype begin = 0;
    while (begin < text.size() && text.at(begin).isSpace())
        ++begin;
    return text.mid(begin);
}

} // namespace

QString MailDateZone(const QString& text) {
    const qsizetype start = zoneStart(text);
    if (start < 0)
        return QStringLiteral("+0000");
    QString zone = text.mid(start);
    for (QChar stop : {u' ', u'<', u'(', u'['}) {
        const qsizetype cut = zone.indexOf(stop);
        if (cut >= 0)
            zone.truncate(cut);
    }
    return zone.trimmed();
}

QString NormaliseMailDate(const QString& text, const QDateTime& now) {
    QDateTime value = now;
    if (!text.isEmpty()) {
        QString rest = text;
        const QString zone = MailDateZone(text);
        if (rest.size() > 24 && !zone.isEmpty())
            rest.chop(zone.size());
        rest = withoutTrailingSpace(rest);
        const qsizetype comma = rest.indexOf(u',');
        if (comma >= 0)
            rest = rest.mid(comma + 1);
        rest = withoutLeadingSpace(rest);
        const QDateTime parsed = ParseMailDate(rest);
        if (parsed.isValid())
            value = parsed;
    }
    return value.toString(kNumericFormat);
}

int DateAgeMinutes(const QString& text, const QDateTime& now) {
    if (text.isEmpty())
        return -1;
    QDateTime value = ParseMailDate(NormaliseMailDate(text, now));
    if (!value.isValid())
        return -1;
    if (value.date().year() < 1980)
        value = QDateTime(QDate(1980, 1, 1), QTime(0, 0));
    const qint64 minutes = value.secsTo(now) / 60;
    return int(qBound(qint64(std::numeric_limits<int>::min()), minutes,
                      qint64(std::numeric_limits<int>::max())));
}

} // namespace parcelo
