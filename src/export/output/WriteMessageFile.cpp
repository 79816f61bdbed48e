#include "export/output/WriteMessageFile.h"

#include "platform/SaveWholeFile.h"

#include <QFile>

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
    return SaveWholeFile(path, bytes);
}

} // namespace parcelo
