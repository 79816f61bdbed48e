// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>

namespace parcelo {

// A lenient reader of the date forms the export compares, as local calendar time without
// any zone: day, English month name (or abbreviation), year and an optional time
// ("05 Jan 2009 10:00:00", "5-January-09 10:00"), and the numeric form it writes itself,
// always month/day/year ("01/05/2009 10:00:00"). Invalid for anything else.
QDateTime ParseMailDate(const QString& text);

} // namespace parcelo
