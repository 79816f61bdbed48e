// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/dates/SentDateText.h"

#include "platform/LocaleFormats.h"

namespace parcelo {

QString SentDateText(const QDateTime& sentUtc) {
    if (!sentUtc.isValid())
        return kInvalidDateTime;
    const QDateTime local = sentUtc.toLocalTime();
    if (!local.isValid())
        return kInvalidDateTime;
    // Written digit by digit: this runs once a message.
    static const char* const kMonths[] = {"January",   "February", "March",    "April",
                                          "May",       "June",     "July",     "August",
                                          "September", "October",  "November", "December"};
    const QDate date = local.date();
    const QTime time = local.time();
    int hour12 = time.hour() % 12;
    if (hour12 == 0)
        hour12 = 12;
    const auto twoDigits = [](QString& text, int value) {
        text += QChar(u'0' + value / 10);
        text += QChar(u'0' + value % 10);
    };
    QString text;
    text.reserve(32);
    text += QLatin1StringView(kMonths[date.month() - 1]);
    text += u' ';
    twoDigits(text, date.day());
    text += QLatin1StringView(". ");
    const int year = date.year();
    if (year >= 0 && year <= 9999) {
        twoDigits(text, year / 100);
        twoDigits(text, year % 100);
    } else {
        text += QStringLiteral("%1").arg(year, 4, 10, QLatin1Char('0'));
    }
    text += u' ';
    twoDigits(text, hour12);
    text += QLatin1StringView("h ");
    twoDigits(text, time.minute());
    text += u'm';
    return text;
}

} // namespace parcelo
