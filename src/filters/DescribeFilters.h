// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "filters/FilterState.h"

#include <QString>

namespace parcelo {

// The export log's account of the active filter set, written after "\r\nApplied Filter(s): ":
// "None" when suspended or empty, else one "\r\n\t" line a filter and the "\r\nMatch: " line.
QString DescribeFilters(const FilterState& state);

} // namespace parcelo
