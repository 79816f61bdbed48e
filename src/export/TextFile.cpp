#include "export/TextFile.h"

#include <QFile>
#include <QSaveFile>

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
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = text.toUtf8();
    // A short write may only show when the buffer is flushed, which commit() does not
    // always report.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace parcelo
