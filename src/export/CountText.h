// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace parcelo {

// Counts in status texts and the log: "Zero", "One", else decimal digits.
QString CountText(int count);

} // namespace parcelo
