// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "filters/FilterItem.h"

namespace parcelo::test {

// One filter from its seven attributes, in the order of the filter-set file.
inline STR_FILTER_ITEM MakeFilter(int criteria, int op, const char* text = "", int matchCase = 0,
                                  int field = 0, const char* date = "", int value = 0) {
    STR_FILTER_ITEM f;
    f.Criteria = criteria;
    f.ConjunctionOption = op;
    f.TextField = QString::fromUtf8(text);
    f.MatchCase = matchCase;
    f.NumericField = field;
    f.Date = QString::fromUtf8(date);
    f.NumericValue = value;
    return f;
}

} // namespace parcelo::test
