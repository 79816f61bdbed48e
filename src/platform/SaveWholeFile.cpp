#include "platform/SaveWholeFile.h"

#include "platform/WriteAll.h"

#include <QSaveFile>

namespace parcelo {

bool SaveWholeFile(const QString& path, const QByteArray& bytes, QString* error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    if (!WriteAll(file, bytes) || !file.flush() || !file.commit()) {
        if (error)
            *error = file.error() != QFileDevice::NoError ? file.errorString()
                                                          : QStringLiteral("Write failed");
        file.cancelWriting();
        return false;
    }
    return true;
}

} // namespace parcelo
