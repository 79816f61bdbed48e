// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/CParceloApp.h"

#include <QString>

namespace parcelo {

// Whether the filter-set file of the application folder is there but did not read as a filter
// set (foreign or broken XML, or unreadable). Taken as empty it would let every message
// through, and the window would write the empty set over it at exit. A missing file is not
// damaged: it is an empty set.
bool FilterSetFileDamaged(const CParceloApp& app);

// The window's way with a damaged file, after ReadStartupSettings: moves it aside as
// Filters.xml.damaged (Filters.xml.damaged.1, ... when that is taken), so that the user's
// filters survive, and starts with an empty set. Returns the one warning to show, or an empty
// text when the file was not damaged. When it cannot be moved, the warning says why and the
// file is kept: ExitInstance then leaves it alone.
QString SetAsideDamagedFilterSet(CParceloApp& app);

} // namespace parcelo
