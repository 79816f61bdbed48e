// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ShellOpen.h"

#include <QProcess>
#include <QStandardPaths>

namespace parcelo {

bool ShellOpen(const QString& path) {
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty())
        return false;
    return QProcess::startDetached(opener, {path});
}

} // namespace parcelo
