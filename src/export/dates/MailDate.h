// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>

namespace parcelo {

// The zone part of a mail date text ("-0500", "GMT"), "+0000" when it has none.
QString MailDateZone(const QString& text);

// The mail date written "%m/%d/%Y %H:%M:%S" (month first, whatever the locale), with its
// weekday and zone dropped and the zone's offset not applied; now when it does not parse.
QString NormaliseMailDate(const QString& text, const QDateTime& now = QDateTime::currentDateTime());

// Whole minutes from the mail date (as local time, dates before 1980 taken as 1 January
// 1980) to now: older dates give larger numbers, future dates negative ones. -1 for an
// empty text.
int DateAgeMinutes(const QString& text, const QDateTime& now = QDateTime::currentDateTime());

} // namespace parcelo
