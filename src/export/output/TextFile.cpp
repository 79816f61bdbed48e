// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/output/TextFile.h"

#include "platform/SaveWholeFile.h"
#include "platform/WriteAll.h"

#include <QFile>

namespace parcelo {

bool AppendTextToFile(const QString& path, const QString& text, const QString& lineEnd,
                      QString* error) {
    if (text.isEmpty())
        return false;
    const QByteArray bytes = (text + lineEnd).toUtf8();
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    const qint64 before = file.size();
    const bool written = WriteAll(file, bytes, error);
    if (!written)
        file.resize(before);
    file.close();
    return written;
}

bool WriteTextFile(const QString& path, const QString& text, QString* error) {
    return SaveWholeFile(path, text.toUtf8(), error);
}

} // namespace parcelo
