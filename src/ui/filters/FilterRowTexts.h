// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "filters/FilterItem.h"

#include <QString>

namespace parcelo::ui {

// The three texts of a filter's row in the filter list: criterion, operator and value.
QString FilterRowText(const STR_FILTER_ITEM& filter, int column);

} // namespace parcelo::ui
