// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/manifest/RecordedCopyCheck.h"

#include "platform/SystemErrorText.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace parcelo {

bool RecordedCopyCheck::confirm(const QString& path, qint64 size, ino_t inode, QString* why) {
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        *why = SystemErrorText(errno);
    } else if (!S_ISREG(st.st_mode) || st.st_ino != inode) {
        *why = QStringLiteral("another file has its name now");
    } else if (st.st_size != size) {
        *why = QStringLiteral("it changed after it was written");
    } else {
        if (!syncErrors_.contains(st.st_dev))
            syncErrors_.insert(st.st_dev, ::syncfs(fd) == 0 ? 0 : errno);
        if (const int error = syncErrors_.value(st.st_dev))
            *why = QStringLiteral("it could not be flushed to disk: ") + SystemErrorText(error);
        else
            why->clear();
    }
    if (fd >= 0)
        ::close(fd);
    return why->isEmpty();
}

} // namespace parcelo
