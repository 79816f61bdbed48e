#include "export/WriteMessageFile.h"

#include <QFile>
#include <QSaveFile>

namespace parcelo {

bool WriteReservedMessageFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::ExistingOnly | QIODevice::Truncate |
                   QIODevice::Unbuffered)) {
        if (file.exists())
            file.remove();
        return false;
    }
    const bool written = file.write(bytes) == bytes.size();
    file.close();
    if (!written || file.error() != QFileDevice::NoError) {
        file.remove();
        return false;
    }
    return true;
}

bool ReplaceMessageFile(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // A short write may only show when the buffer is flushed, which commit() does not
    // always report.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace parcelo
