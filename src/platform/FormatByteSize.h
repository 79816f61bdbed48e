// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace parcelo {

// A byte count for people: "Zero bytes", "700 bytes", "1.5 KB [1536 bytes]", "2 KB [2048 bytes]";
// KB, MB and GB step at 1024, 1024000 and 1024000000 bytes. The bracketed exact count follows
// a unit above bytes unless `withoutExact` is set.
QString FormatByteSize(double size, bool withoutExact = false);

} // namespace parcelo
