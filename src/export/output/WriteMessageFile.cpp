#include "export/output/WriteMessageFile.h"

#include "platform/SaveWholeFile.h"
#include "platform/WriteAll.h"

#include <QFile>

namespace parcelo {

bool WriteReservedMessageFile(const QString& path, const QByteArray& bytes, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::ExistingOnly | QIODevice::Truncate |
                   QIODevice::Unbuffered)) {
        if (error)
            *error = path + QStringLiteral(": ") + file.errorString();
        if (file.exists())
            file.remove();
        return false;
    }
    QString reason;
    const bool written = WriteAll(file, bytes, &reason);
    file.close();
    if (!written || file.error() != QFileDevice::NoError) {
        if (error)
            *error = path + QStringLiteral(": ") + (written ? file.errorString() : reason);
        file.remove();
        return false;
    }
    return true;
}

bool ReplaceMessageFile(const QString& path, const QByteArray& bytes, QString* error) {
    if (SaveWholeFile(path, bytes, error))
        return true;
    if (error)
        *error = path + QStringLiteral(": ") + *error;
    return false;
}

} // namespace parcelo
