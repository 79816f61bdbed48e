// SPDX-License-Identifier: GPL-3.0-or-later
#include "filters/FindFilter.h"

#include "filters/AsciiCase.h"
#include "filters/FilterCodes.h"

namespace parcelo {

bool FiltersEqual(const STR_FILTER_ITEM& a, const STR_FILTER_ITEM& b) {
    if (a.Criteria != b.Criteria || a.ConjunctionOption != b.ConjunctionOption)
        return false;
    switch (CriterionKind(a.Criteria)) {
    case FilterKind::Date:
        return EqualsIgnoringAsciiCase(a.Date, b.Date);
    case FilterKind::Number:
        return a.NumericField == b.NumericField;
    case FilterKind::OrderedList:
    case FilterKind::List:
        return a.NumericValue == b.NumericValue;
    case FilterKind::Text:
    case FilterKind::Unknown:
        break;
    }
    return EqualsIgnoringAsciiCase(a.TextField, b.TextField);
}

int FindFilter(const STR_FILTER_ITEM& filter, const QList<STR_FILTER_ITEM>& list) {
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (FiltersEqual(filter, list[i]))
            return int(i);
    }
    return -1;
}

} // namespace parcelo
