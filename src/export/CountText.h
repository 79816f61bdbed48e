// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace parcelo {

// Counts in status texts and the log: "Zero", "One", else decimal digits.
QString CountText(int count);

// The closing status of a run: "Task completed. 12 messages exported." and, when the run
// exported only new messages, how many it skipped as exported before.
QString CompletedText(int exported, int skipped = -1);

} // namespace parcelo
