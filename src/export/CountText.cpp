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

QString CompletedText(int exported, int skipped) {
    QString text = QStringLiteral("Task completed. ") + CountText(exported) +
                   QStringLiteral(" messages exported");
    if (skipped >= 0)
        text += QStringLiteral(", ") + CountText(skipped) +
                QStringLiteral(" skipped as exported before");
    return text + u'.';
}

} // namespace parcelo
