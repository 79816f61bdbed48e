// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>

namespace parcelo {

// Reads an RFC 5322 date ("Tue, 3 Mar 2009 19:41:00 +0100"), leniently: the weekday may be
// missing, obsolete zones (UT, GMT, EST ... PDT, military letters) and two-digit years are
// accepted, comments are ignored. Returns the instant in UTC; invalid when unreadable.
// offsetSeconds, when given, gets the zone's offset east of UTC (0 for an unknown zone).
QDateTime ParseRfc5322Date(const QByteArray& text, int* offsetSeconds = nullptr);

// Reads the date of an mbox separator line ("From sender Sat Jan  3 01:05:34 1996"), taken as
// UTC unless the line carries a numeric zone. Invalid when the line has no date.
QDateTime ParseMboxFromLineDate(const QByteArray& line);

} // namespace parcelo
