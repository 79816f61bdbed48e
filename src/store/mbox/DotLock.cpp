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

QByteArray ReadSmallFile(const FileInDirectory& file) {
    QByteArray content(256, '\0');
    const int fd =
        ::openat(file.directory(), file.name().constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return {};
    const ssize_t got = ::read(fd, content.data(), size_t(content.size()));
    ::close(fd);
    content.truncate(got > 0 ? got : 0);
    return content;
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
    if (held_)
        return true;
    const int dir = lock_.directory();
    const char* name = lock_.name().constData();
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int fd = ::openat(dir, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
            const bool written = ::write(fd, pid.constData(), pid.size()) == pid.size();
            ::close(fd);
            if (!written) {
                ::unlinkat(dir, name, 0);
                break;
            }
            held_ = true;
            return true;
        }
        if (errno != EEXIST)
            break;
        const QByteArray content = ReadSmallFile(lock_);
        const qint64 owner = LockOwner(content);
        const bool ownerGone = owner > 0 && owner != ::getpid() && !ProcessExists(owner);
        struct stat st;
        const bool old = lock_.stat(&st) && std::time(nullptr) - st.st_mtime > kStaleSeconds;
        // Read again just before removing, so that a lock another program took over meanwhile
        // is left alone.
        if (attempt == 0 && (ownerGone || old) && ReadSmallFile(lock_) == content) {
            ::unlinkat(dir, name, 0);
            continue;
        }
        if (error) {
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

void DotLock::release() {
    if (held_) {
        ::unlinkat(lock_.directory(), lock_.name().constData(), 0);
        held_ = false;
    }
}

} // namespace parcelo
