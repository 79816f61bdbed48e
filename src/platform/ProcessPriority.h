// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace parcelo {

// 2 asks for the highest priority, 1 for a raised one, anything else normal.
// A refusal (no privilege) is ignored.
void ApplyProcessPriority(int processPriority);

} // namespace parcelo
