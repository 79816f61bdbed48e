// SPDX-License-Identifier: GPL-3.0-or-later
#include "mime/NameList.h"

#include "platform/SaveWholeFile.h"

#include <QFile>
#include <QFileInfo>

namespace parcelo {

void LoadNameList(const QString& path, QStringList& list) {
    if (!QFileInfo::exists(path))
        return;
    list.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    // The writer stores UTF-8, so the reader reads UTF-8 and every entry comes back as saved.
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray& line : lines) {
        QString entry = QString::fromUtf8(line);
        qsizetype end = entry.size();
        while (end > 0 && entry.at(end - 1).isSpace())
            --end;
        entry.truncate(end);
        if (!entry.isEmpty() && !list.contains(entry))
            list.append(entry);
    }
}

bool SaveNameList(const QStringList& list, const QString& path) {
    QByteArray bytes;
    for (const QString& entry : list) {
        if (entry.isEmpty())
            continue;
        bytes.append(entry.toUtf8());
        bytes.append("\r\n");
    }
    if (bytes.isEmpty() && !QFileInfo::exists(path))
        return true;
    return SaveWholeFile(path, bytes);
}

} // namespace parcelo
