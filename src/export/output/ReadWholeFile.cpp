#include "export/output/ReadWholeFile.h"

#include <QFile>

namespace parcelo {

QByteArray ReadWholeFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const qint64 size = file.size();
    if (size <= 0)
        return {};
    QByteArray bytes = file.read(size);
    if (bytes.size() != size)
        return {};
    return bytes;
}

} // namespace parcelo
