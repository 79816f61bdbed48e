// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QTime>

namespace parcelo {

// The user's date and time formats. Everything that shows a date to the user, or reads
// one back (filter dates), goes through here so that writing and parsing always agree.
// Tests inject a locale with setCurrent(); QLocale::setDefault does not change system().
class LocaleFormats {
public:
    explicit LocaleFormats(const QLocale& locale);

    const QLocale& locale() const { return locale_; }
    QString dateFormat() const { return dateFormat_; }         // short date, four-digit year
    QString timeFormat() const { return timeFormat_; }         // short time
    QString dateTimeFormat() const { return dateTimeFormat_; } // date, a space, time

    QString formatDate(const QDate& date) const;
    QString formatTime(const QTime& time) const;
    // "Invalid DateTime" for an invalid value, as every date text of the program.
    QString formatDateTime(const QDateTime& value) const;

    QDate parseDate(const QString& text) const;
    // Reads a date-and-time text; falls back to the date alone, so only the date part matters.
    QDate parseDateOfDateTime(const QString& text) const;

    static const LocaleFormats& current();
    static void setCurrent(const QLocale& locale);
    static void resetCurrent(); // back to QLocale::system()

private:
    QLocale locale_;
    QString dateFormat_;
    QString timeFormat_;
    QString dateTimeFormat_;
};

inline const QString kInvalidDateTime = QStringLiteral("Invalid DateTime");

} // namespace parcelo
