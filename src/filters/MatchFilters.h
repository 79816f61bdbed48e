// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "filters/MessageFilterFacts.h"
#include "filters/FilterItem.h"
#include "filters/FilterState.h"

namespace parcelo {

class LocaleFormats;

enum class FilterOutcome { Match, Miss, Undecided };

// One filter against one message. Dates are read with the given formats.
FilterOutcome MatchFilter(const STR_FILTER_ITEM& filter, const MessageFilterFacts& facts,
                          const LocaleFormats& formats);

// True when the message passes the filter set: always when suspended or empty, never for a
// message of 0 bytes otherwise; then mode All needs no miss, mode Any needs one match.
// Dates are read in the user's current formats.
bool MatchFilters(const FilterState& state, const MessageFilterFacts& facts);

} // namespace parcelo
