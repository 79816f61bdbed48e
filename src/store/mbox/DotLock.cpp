// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/mbox/DotLock.h"

#include "platform/SystemErrorText.h"

#include <QByteArray>
#include <QList>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace parcelo {

namespace {

// The lock file as found: what it holds and which file it is.
struct FoundLock {
    bool found = false;
    QByteArray content;
    struct stat st = {};
};

FoundLock ReadLock(const FileInDirectory& file) {
    FoundLock lock;
    const int fd = ::openat(file.directory(), file.entry(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return lock;
    lock.content.resize(256);
    const ssize_t got = ::read(fd, lock.content.data(), size_t(lock.content.size()));
    lock.content.truncate(got > 0 ? got : 0);
    lock.found = ::fstat(fd, &lock.st) == 0;
    ::close(fd);
    return lock;
}

QByteArray HostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return {};
    return QByteArray(name);
}

// The process id a lock file names, when it names one of this host: "PID" or "PID HOST".
qint64 LockOwner(const QByteArray& content) {
    const QList<QByteArray> words = content.simplified().split(' ');
    if (words.isEmpty() || words.size() > 2)
        return 0;
    bool ok = false;
    const qint64 pid = words[0].toLongLong(&ok);
    if (!ok || pid <= 0)
        return 0;
    if (words.size() == 2 && words[1] != HostName())
        return 0;
    return pid;
}

// Whether the lock may be broken: its process is gone, or, where it names none of this host,
// it has not been refreshed for the stale age.
bool Breakable(const FoundLock& lock) {
    const qint64 owner = LockOwner(lock.content);
    if (owner > 0)
        return owner != ::getpid() && !ProcessExists(owner);
    return std::time(nullptr) - lock.st.st_mtime > DotLock::kStaleSeconds;
}

} // namespace

bool ProcessExists(qint64 pid) {
    if (pid <= 0 || pid != qint64(pid_t(pid)))
        return false;
    return ::kill(pid_t(pid), 0) == 0 || errno != ESRCH;
}

DotLock::DotLock(const FileInDirectory& mailbox) : lock_(mailbox.sibling(".lock")) {}

DotLock::~DotLock() {
    release();
}

bool DotLock::acquire(QString* error) {
    if (fd_ >= 0)
        return true;
    const int dir = lock_.directory();
    const char* name = lock_.entry();
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int fd = ::openat(dir, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
            const ssize_t written = ::write(fd, pid.constData(), size_t(pid.size()));
            if (written != pid.size()) {
                const int failure = written < 0 ? errno : ENOSPC;
                ::close(fd);
                ::unlinkat(dir, name, 0);
                errno = failure;
                break;
            }
            fd_ = fd;
            return true;
        }
        if (errno != EEXIST)
            break;
        const FoundLock found = ReadLock(lock_);
        // Removed only if it is still the file that was judged, so that a lock another program
        // took over meanwhile is left alone.
        if (attempt == 0 && found.found && Breakable(found)) {
            const FoundLock again = ReadLock(lock_);
            if (again.found && SameFile(again.st, found.st) && again.content == found.content) {
                ::unlinkat(dir, name, 0);
                continue;
            }
        }
        if (error) {
            const qint64 owner = LockOwner(found.content);
            *error = owner > 0 ? QStringLiteral("the mailbox is locked by process %1 (%2)")
                                     .arg(owner)
                                     .arg(lock_.displayPath())
                               : QStringLiteral("the mailbox is locked by another program (%1)")
                                     .arg(lock_.displayPath());
        }
        return false;
    }
    if (error)
        *error =
            QStringLiteral("cannot create %1: %2").arg(lock_.displayPath(), SystemErrorText(errno));
    return false;
}

void DotLock::refresh() {
    struct stat st;
    if (fd_ >= 0 && ::fstat(fd_, &st) == 0 && std::time(nullptr) - st.st_mtime >= kRefreshSeconds)
        ::futimens(fd_, nullptr);
}

bool DotLock::stillHeld(QString* error) const {
    struct stat own;
    struct stat named;
    if (fd_ >= 0 && ::fstat(fd_, &own) == 0 && lock_.stat(&named) && SameFile(own, named))
        return true;
    if (error)
        *error = QStringLiteral("another program took the lock %1 during the change")
                     .arg(lock_.displayPath());
    return false;
}

void DotLock::release() {
    if (fd_ < 0)
        return;
    if (stillHeld(nullptr))
        ::unlinkat(lock_.directory(), lock_.entry(), 0);
    ::close(fd_);
    fd_ = -1;
}

} // namespace parcelo
