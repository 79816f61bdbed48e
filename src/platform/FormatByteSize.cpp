// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FormatByteSize.h"

namespace parcelo {

QString FormatByteSize(double size, bool withoutExact) {
    if (size == 0)
        return QStringLiteral("Zero bytes");
    QString exact = QStringLiteral(" [%1 bytes]").arg(size, 0, 'f', 0);
    double value = size;
    QString unit;
    if (size <= 1024) {
        unit = QStringLiteral("bytes");
        exact.clear();
    } else if (size <= 1024000) {
        unit = QStringLiteral("KB");
        value = size / 1024;
    } else if (size <= 1024000000) {
        unit = QStringLiteral("MB");
        value = size / 1024000;
    } else {
        unit = QStringLiteral("GB");
        value = size / 1024000000;
    }
    QString text = QString::number(value, 'f', 1);
    if (text.endsWith(QLatin1String(".0")))
        text.chop(2);
    return text + QLatin1Char(' ') + unit + (withoutExact ? QString() : exact);
}

} // namespace parcelo
