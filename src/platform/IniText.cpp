// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/IniText.h"

#include <QFile>

namespace parcelo {

IniGroups ReadIniText(const QString& path) {
    IniGroups groups;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return groups;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            groups.append({line.mid(1, line.size() - 2), {}});
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!groups.isEmpty() && equals > 0)
            groups.last().second.insert(line.left(equals).trimmed(),
                                        line.mid(equals + 1).trimmed());
    }
    return groups;
}

} // namespace parcelo
