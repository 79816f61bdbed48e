// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/mbox/MboxReadGuard.h"

#include "platform/SystemErrorText.h"

#include <cerrno>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace parcelo {

namespace {

bool SameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

} // namespace

bool MboxReadGuard::lock(int fd, std::chrono::milliseconds wait, QString* error) {
    unlock();
    blocker_.clear();
    const auto until = std::chrono::steady_clock::now() + wait;
    struct flock lock = {};
    lock.l_type = F_RDLCK;
    lock.l_whence = SEEK_SET;
    for (;;) {
        if (::fcntl(fd, F_OFD_SETLK, &lock) == 0) {
            locked_ = true;
            break;
        }
        // A file system without record locks: its writers cannot lock either.
        if (errno != EAGAIN && errno != EACCES)
            break;
        if (std::chrono::steady_clock::now() >= until) {
            struct flock holder = {};
            holder.l_type = F_RDLCK;
            holder.l_whence = SEEK_SET;
            const bool known = ::fcntl(fd, F_OFD_GETLK, &holder) == 0 && holder.l_type != F_UNLCK &&
                               holder.l_pid > 0;
            blocker_ = (known ? QStringLiteral("process %1").arg(holder.l_pid)
                              : QStringLiteral("another program")) +
                       QStringLiteral(" held an fcntl lock on %1 for more than %2 seconds")
                           .arg(path_)
                           .arg(std::chrono::duration_cast<std::chrono::seconds>(wait).count());
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    fd_ = fd;
    if (watch(fd, error))
        return true;
    unlock();
    return false;
}

bool MboxReadGuard::watch(int fd, QString* error) {
    fd_ = fd;
    if (::fstat(fd, &noted_) == 0)
        return true;
    *error = SystemErrorText(errno);
    return false;
}

void MboxReadGuard::unlock() {
    if (!locked_)
        return;
    struct flock lock = {};
    lock.l_type = F_UNLCK;
    lock.l_whence = SEEK_SET;
    ::fcntl(fd_, F_OFD_SETLK, &lock);
    locked_ = false;
}

void MboxReadGuard::forget() {
    unlock();
    fd_ = -1;
}

QString MboxReadGuard::change() const {
    if (fd_ < 0)
        return {};
    struct stat now = {};
    if (::fstat(fd_, &now) != 0)
        return QStringLiteral("%1 could not be looked at again: %2")
            .arg(path_, SystemErrorText(errno));
    const QString written = QStringLiteral("another program wrote to %1").arg(path_);
    if (now.st_size != noted_.st_size)
        return written + QStringLiteral(": its size went from %1 to %2 bytes")
                             .arg(noted_.st_size)
                             .arg(now.st_size);
    if (!SameTime(now.st_mtim, noted_.st_mtim) || !SameTime(now.st_ctim, noted_.st_ctim))
        return written;
    return {};
}

} // namespace parcelo
