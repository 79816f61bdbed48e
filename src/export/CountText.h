#pragma once

#include <QString>

namespace parcelo {

// Counts in status texts and the log: "Zero", "One", else decimal digits.
QString CountText(int count);

} // namespace parcelo
