// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace parcelo {

// One filter: a condition on one message property. The field names are also the attribute
// names of the filter-set file. Which operand field counts depends on Criteria.
struct STR_FILTER_ITEM {
    int Criteria = 0;          // FilterCriteria
    int ConjunctionOption = 0; // operator, index into the criterion kind's operator list
    QString TextField;         // text criteria
    int MatchCase = 0;         // text criteria: 1 = case-sensitive
    int NumericField = 0;      // size, in KB
    QString Date;              // date criteria: the user's short-date text
    int NumericValue = 0;      // priority, status or flag code

    // Field-by-field identity; duplicates of a filter set are found with FiltersEqual.
    friend bool operator==(const STR_FILTER_ITEM&, const STR_FILTER_ITEM&) = default;
};

} // namespace parcelo
