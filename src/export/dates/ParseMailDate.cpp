// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/dates/ParseMailDate.h"

#include <QRegularExpression>
#include <array>

namespace parcelo {

namespace {

int monthFromName(const QString& word) {
    static const std::array<QLatin1String, 12> names = {
        QLatin1String("January"), QLatin1String("February"), QLatin1String("March"),
        QLatin1String("April"),   QLatin1String("May"),      QLatin1String("June"),
        QLatin1String("July"),    QLatin1String("August"),   QLatin1String("September"),
        QLatin1String("October"), QLatin1String("November"), QLatin1String("December")};
    if (word.size() < 3)
        return 0;
    for (int i = 0; i < 12; ++i) {
        if (names[i].startsWith(word, Qt::CaseInsensitive))
            return i + 1;
    }
    if (word.compare(QLatin1String("Sept"), Qt::CaseInsensitive) == 0)
        return 9;
    return 0;
}

// Two-digit years as mail uses them: 00-49 this century, 50-99 the last.
int fullYear(const QString& digits) {
    const int year = digits.toInt();
    if (digits.size() == 2)
        return year < 50 ? 2000 + year : 1900 + year;
    if (digits.size() == 3)
        return 1900 + year;
    return year;
}

QTime timeOf(const QRegularExpressionMatch& m, int first) {
    if (!m.hasCaptured(first))
        return QTime(0, 0);
    const int seconds = m.hasCaptured(first + 2) ? m.captured(first + 2).toInt() : 0;
    return QTime(m.captured(first).toInt(), m.captured(first + 1).toInt(), seconds);
}

QDateTime combine(const QDate& date, const QTime& time) {
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time);
}

} // namespace

QDateTime ParseMailDate(const QString& text) {
    static const QString timePart = QStringLiteral("(?:\\s+(\\d{1,2}):(\\d{2})(?::(\\d{2}))?)?");
    static const QRegularExpression numeric(QStringLiteral("^(\\d{1,2})/(\\d{1,2})/(\\d{4})") +
                                            timePart + QStringLiteral("$"));
    static const QRegularExpression named(
        QStringLiteral("^(\\d{1,2})[\\s-]+([A-Za-z]+)\\.?[\\s-]+(\\d{2,4})") + timePart +
        QStringLiteral("$"));

    const QString trimmed = text.trimmed();
    QRegularExpressionMatch m = numeric.match(trimmed);
    if (m.hasMatch()) {
        const QDate date(m.captured(3).toInt(), m.captured(1).toInt(), m.captured(2).toInt());
        return combine(date, timeOf(m, 4));
    }
    m = named.match(trimmed);
    if (m.hasMatch()) {
        const int month = monthFromName(m.captured(2));
        if (month == 0)
            return {};
        const QDate date(fullYear(m.captured(3)), month, m.captured(1).toInt());
        return combine(date, timeOf(m, 4));
    }
    return {};
}

} // namespace parcelo
