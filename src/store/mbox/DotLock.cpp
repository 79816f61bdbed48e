#include "store/mbox/DotLock.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace parcelo {

DotLock::DotLock(const QString& mailboxPath) : lockPath_(mailboxPath + QStringLiteral(".lock")) {}

DotLock::~DotLock() {
    release();
}

bool DotLock::acquire(QString* error) {
    if (held_)
        return true;
    const QByteArray path = QFile::encodeName(lockPath_);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
            const bool written = ::write(fd, pid.constData(), pid.size()) == pid.size();
            ::close(fd);
            if (!written) {
                ::unlink(path.constData());
                break;
            }
            held_ = true;
            return true;
        }
        if (errno != EEXIST)
            break;
        struct stat st;
        if (attempt == 0 && ::stat(path.constData(), &st) == 0 &&
            std::time(nullptr) - st.st_mtime > kStaleSeconds) {
            ::unlink(path.constData());
            continue;
        }
        if (error)
            *error = QStringLiteral("the mailbox is locked by another program (%1)").arg(lockPath_);
        return false;
    }
    if (error)
        *error = QStringLiteral("cannot create %1: %2")
                     .arg(lockPath_, QString::fromLocal8Bit(std::strerror(errno)));
    return false;
}

void DotLock::release() {
    if (held_) {
        ::unlink(QFile::encodeName(lockPath_).constData());
        held_ = false;
    }
}

} // namespace parcelo
