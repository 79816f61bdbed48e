// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ProcessPriority.h"

#include <sys/resource.h>

namespace parcelo {

void ApplyProcessPriority(int processPriority) {
    int niceness = 0;
    if (processPriority == 2)
        niceness = -20;
    else if (processPriority == 1)
        niceness = -10;
    (void)setpriority(PRIO_PROCESS, 0, niceness);
}

} // namespace parcelo
