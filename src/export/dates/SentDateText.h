// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>

namespace parcelo {

// A message's local sent date as file and folder names and the index page show it:
// "March 05. 2009 07h 41m" (English month, 12-hour clock without AM/PM);
// "Invalid DateTime" for an invalid date.
QString SentDateText(const QDateTime& sentUtc);

} // namespace parcelo
