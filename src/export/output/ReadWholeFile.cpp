// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/output/ReadWholeFile.h"

#include <QFile>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace parcelo {

QByteArray ReadWholeFile(const QString& path) {
    // Non-blocking so that a FIFO in the destination cannot hold the open.
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {};
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0) {
        ::close(fd);
        return {};
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {};
    }
    const qint64 size = info.st_size;
    QByteArray bytes = file.read(size);
    if (bytes.size() != size)
        return {};
    return bytes;
}

} // namespace parcelo
