#include "store/FileReplacement.h"

#include "platform/SystemErrorText.h"

#include <QByteArray>
#include <QList>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace parcelo {

namespace {

std::atomic<qint64> gFailureAfterBytes{-1};

struct Leftover {
    QByteArray name;
    pid_t pid;
};

// The temporary files of other processes found in a directory, by the name of their target.
using Leftovers = std::map<QByteArray, std::vector<Leftover>>;

// Lists the directory for names ".NAME.parcelo-PID-N" of other processes.
Leftovers FindLeftovers(int directory) {
    Leftovers found;
    const int listed = ::openat(directory, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = listed >= 0 ? ::fdopendir(listed) : nullptr;
    if (!dir) {
        if (listed >= 0)
            ::close(listed);
        return found;
    }
    const QByteArray marker = QByteArrayLiteral(".parcelo-");
    while (const dirent* item = ::readdir(dir)) {
        const QByteArray name(item->d_name);
        const qsizetype at = name.lastIndexOf(marker);
        if (!name.startsWith('.') || at < 2)
            continue;
        const QList<QByteArray> parts = name.mid(at + marker.size()).split('-');
        bool pidOk = false;
        bool numberOk = false;
        const qint64 pid = parts.size() == 2 ? parts[0].toLongLong(&pidOk) : 0;
        if (parts.size() == 2)
            parts[1].toInt(&numberOk);
        if (!pidOk || !numberOk || pid <= 0 || pid == ::getpid() || pid != qint64(pid_t(pid)))
            continue;
        found[name.mid(1, at - 1)].push_back({name, pid_t(pid)});
    }
    ::closedir(dir);
    return found;
}

} // namespace

void FileReplacement::SetFailureAfterBytes(qint64 bytes) {
    gFailureAfterBytes = bytes;
}

int FileReplacement::RemoveOrphans(const FileInDirectory& target) {
    // Leftovers appear only when a run dies, so a directory is listed once a process: listing
    // it for each change would make changing many mailboxes of one folder quadratic.
    static std::mutex mutex;
    // A directory is known by its path and identity: a path can name another directory later,
    // and an inode number be given to another one.
    static std::map<std::tuple<QByteArray, dev_t, ino_t>, Leftovers> byDirectory;
    struct stat st;
    if (::fstat(target.directory(), &st) != 0)
        return 0;
    std::vector<Leftover> leftovers;
    {
        const std::lock_guard<std::mutex> lock(mutex);
        const auto directory = std::make_tuple(target.directoryPath(), st.st_dev, st.st_ino);
        auto listed = byDirectory.find(directory);
        if (listed == byDirectory.end())
            listed = byDirectory.emplace(directory, FindLeftovers(target.directory())).first;
        const auto own = listed->second.find(target.name());
        if (own == listed->second.end())
            return 0;
        leftovers = std::move(own->second);
        listed->second.erase(own);
    }
    int removed = 0;
    for (const Leftover& leftover : leftovers) {
        if (::kill(leftover.pid, 0) == 0 || errno != ESRCH)
            continue; // a live process, or one we may not signal
        if (::unlinkat(target.directory(), leftover.name.constData(), 0) == 0)
            ++removed;
    }
    return removed;
}

FileReplacement::FileReplacement(const FileInDirectory& target) : target_(target) {}

FileReplacement::~FileReplacement() {
    abort();
}

bool FileReplacement::begin(QString* error) {
    struct stat st;
    const int dir = target_.directory();
    const mode_t mode =
        ::fstatat(dir, target_.name().constData(), &st, 0) == 0 ? (st.st_mode & 07777) : 0600;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary_ = '.' + target_.name() + ".parcelo-" + QByteArray::number(qint64(::getpid())) +
                     '-' + QByteArray::number(attempt);
        fd_ = ::openat(dir, temporary_.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd_ >= 0 || errno != EEXIST)
            break;
    }
    if (fd_ < 0) {
        if (error)
            *error = QStringLiteral("cannot create a temporary file beside %1: %2")
                         .arg(target_.displayPath(), SystemErrorText(errno));
        temporary_.clear();
        return false;
    }
    ::fchmod(fd_, mode);
    written_ = 0;
    errno_ = 0;
    return true;
}

bool FileReplacement::write(const char* data, qint64 size) {
    if (fd_ < 0) {
        errno_ = EBADF;
        return false;
    }
    const qint64 limit = gFailureAfterBytes;
    bool injected = false;
    if (limit >= 0 && written_ + size > limit) {
        size = std::max<qint64>(0, limit - written_);
        injected = true;
    }
    while (size > 0) {
        const ssize_t n = ::write(fd_, data, size_t(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            errno_ = errno;
            return false;
        }
        data += n;
        size -= n;
        written_ += n;
    }
    if (injected) {
        errno_ = ENOSPC;
        return false;
    }
    return true;
}

bool FileReplacement::flush(QString* error) {
    if (fd_ < 0)
        return false;
    if (errno_ == 0 && ::fsync(fd_) != 0)
        errno_ = errno;
    if (errno_ != 0 && error)
        *error = QStringLiteral("cannot write %1: %2")
                     .arg(target_.displayPath(), SystemErrorText(errno_));
    return errno_ == 0;
}

bool FileReplacement::commit(QString* error, const struct stat* replaced) {
    if (fd_ < 0)
        return false;
    bool ok = errno_ == 0 && ::fsync(fd_) == 0;
    if (!ok && errno_ == 0)
        errno_ = errno;
    if (::close(fd_) != 0 && ok) {
        ok = false;
        errno_ = errno;
    }
    fd_ = -1;
    const int dir = target_.directory();
    struct stat now;
    if (ok && replaced && (!target_.stat(&now) || !SameFile(now, *replaced))) {
        if (error)
            *error = QStringLiteral("%1 was replaced by another file while it was rewritten")
                         .arg(target_.displayPath());
        abort();
        return false;
    }
    if (ok && ::renameat(dir, temporary_.constData(), dir, target_.name().constData()) != 0) {
        ok = false;
        errno_ = errno;
    }
    if (!ok) {
        if (error)
            *error = QStringLiteral("cannot write %1: %2")
                         .arg(target_.displayPath(), SystemErrorText(errno_));
        abort();
        return false;
    }
    temporary_.clear();
    ::fsync(dir);
    return true;
}

void FileReplacement::abort() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temporary_.isEmpty()) {
        ::unlinkat(target_.directory(), temporary_.constData(), 0);
        temporary_.clear();
    }
}

} // namespace parcelo
