#include "export/output/TextFile.h"

#include "platform/SaveWholeFile.h"

#include <QFile>

namespace parcelo {

bool AppendTextToFile(const QString& path, const QString& text, const QString& lineEnd) {
    if (text.isEmpty())
        return false;
    const QByteArray bytes = (text + lineEnd).toUtf8();
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return false;
    const qint64 before = file.size();
    const bool written = file.write(bytes) == bytes.size();
    if (!written)
        file.resize(before);
    file.close();
    return written;
}

bool WriteTextFile(const QString& path, const QString& text) {
    return SaveWholeFile(path, text.toUtf8());
}

} // namespace parcelo
