#include "export/dates/SentDateText.h"

#include "platform/LocaleFormats.h"

#include <QLocale>

namespace parcelo {

QString SentDateText(const QDateTime& sentUtc) {
    if (!sentUtc.isValid())
        return kInvalidDateTime;
    const QDateTime local = sentUtc.toLocalTime();
    if (!local.isValid())
        return kInvalidDateTime;
    static const QLocale english(QLocale::English, QLocale::UnitedStates);
    int hour12 = local.time().hour() % 12;
    if (hour12 == 0)
        hour12 = 12;
    return english.monthName(local.date().month(), QLocale::LongFormat) +
           QStringLiteral(" %1. %2 %3h %4m")
               .arg(local.date().day(), 2, 10, QLatin1Char('0'))
               .arg(local.date().year(), 4, 10, QLatin1Char('0'))
               .arg(hour12, 2, 10, QLatin1Char('0'))
               .arg(local.time().minute(), 2, 10, QLatin1Char('0'));
}

} // namespace parcelo
