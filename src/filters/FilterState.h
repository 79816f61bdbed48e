// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "filters/FilterItem.h"

#include <QList>

namespace parcelo {

// The active filter set: the user's ordered list and the two flags of section "Filters".
struct FilterState {
    QList<STR_FILTER_ITEM> items;
    int MatchAllFilters = 0;  // 1 = every filter must match, else at least one
    int MatchAllMessages = 0; // 1 = filters suspended, every message passes

    bool matchAll() const { return MatchAllFilters == 1; }
    bool suspended() const { return MatchAllMessages == 1; }
};

} // namespace parcelo
