// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "filters/FilterItem.h"

#include <QList>

namespace parcelo {

// The duplicate rule of a filter set: same criterion and operator and the same operand of the
// criterion's kind, texts compared ignoring ASCII case. MatchCase takes no part.
bool FiltersEqual(const STR_FILTER_ITEM& a, const STR_FILTER_ITEM& b);

// Index of the first filter of the list equal to the given one, or -1.
int FindFilter(const STR_FILTER_ITEM& filter, const QList<STR_FILTER_ITEM>& list);

} // namespace parcelo
