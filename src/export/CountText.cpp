// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/CountText.h"

namespace parcelo {

QString CountText(int count) {
    if (count == 0)
        return QStringLiteral("Zero");
    if (count == 1)
        return QStringLiteral("One");
    return QString::number(count);
}

} // namespace parcelo
