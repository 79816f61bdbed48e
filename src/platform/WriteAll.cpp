// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/WriteAll.h"

namespace parcelo {

bool WriteAll(QFileDevice& file, const QByteArray& bytes, QString* error) {
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0) {
            if (error)
                *error = file.error() != QFileDevice::NoError ? file.errorString()
                                                              : QStringLiteral("Write failed");
            return false;
        }
        done += written;
    }
    return true;
}

} // namespace parcelo
