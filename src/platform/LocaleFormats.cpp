// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/LocaleFormats.h"

#include <QRegularExpression>
#include <memory>

namespace parcelo {

namespace {

// A short format with a two-digit year cannot round-trip dates of other centuries.
QString widenYear(QString format) {
    if (format.contains(QLatin1String("yyyy")))
        return format;
    static const QRegularExpression twoDigitYear(QStringLiteral("(?<!y)yy(?!y)"));
    return format.replace(twoDigitYear, QStringLiteral("yyyy"));
}

std::unique_ptr<LocaleFormats>& currentSlot() {
    static std::unique_ptr<LocaleFormats> slot;
    return slot;
}

} // namespace

LocaleFormats::LocaleFormats(const QLocale& locale)
    : locale_(locale), dateFormat_(widenYear(locale.dateFormat(QLocale::ShortFormat))),
      timeFormat_(locale.timeFormat(QLocale::ShortFormat)),
      dateTimeFormat_(dateFormat_ + QLatin1Char(' ') + timeFormat_) {}

QString LocaleFormats::formatDate(const QDate& date) const {
    return date.isValid() ? locale_.toString(date, dateFormat_) : kInvalidDateTime;
}

QString LocaleFormats::formatTime(const QTime& time) const {
    return time.isValid() ? locale_.toString(time, timeFormat_) : kInvalidDateTime;
}

QString LocaleFormats::formatDateTime(const QDateTime& value) const {
    return value.isValid() ? locale_.toString(value, dateTimeFormat_) : kInvalidDateTime;
}

QDate LocaleFormats::parseDate(const QString& text) const {
    return locale_.toDate(text.trimmed(), dateFormat_);
}

QDate LocaleFormats::parseDateOfDateTime(const QString& text) const {
    const QString trimmed = text.trimmed();
    const QDateTime full = locale_.toDateTime(trimmed, dateTimeFormat_);
    if (full.isValid())
        return full.date();
    // The date part is everything before the time; formats without spaces in the date
    // are the common case, but try every split so that "d MMM yyyy" works too.
    for (qsizetype pos = trimmed.lastIndexOf(QLatin1Char(' ')); pos > 0;
         pos = trimmed.lastIndexOf(QLatin1Char(' '), pos - 1)) {
        const QDate date = parseDate(trimmed.left(pos));
        if (date.isValid())
            return date;
    }
    return parseDate(trimmed);
}

const LocaleFormats& LocaleFormats::current() {
    auto& slot = currentSlot();
    if (!slot)
        slot = std::make_unique<LocaleFormats>(QLocale::system());
    return *slot;
}

void LocaleFormats::setCurrent(const QLocale& locale) {
    currentSlot() = std::make_unique<LocaleFormats>(locale);
}

void LocaleFormats::resetCurrent() {
    currentSlot().reset();
}

} // namespace parcelo
