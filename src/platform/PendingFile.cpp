// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/PendingFile.h"

#include "platform/RenameNoReplace.h"

#include <QList>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <tuple>
#include <unistd.h>
#include <utility>
#include <vector>

namespace parcelo {

namespace {

std::atomic<qint64> gFailureAfterBytes{-1};
std::atomic<bool> gLackNamelessFiles{false};
std::atomic<bool> gLackDescriptorLinks{false};

const QByteArray kMarker = QByteArrayLiteral("parcelo-");

// ".NAME.parcelo-PID-N", or ".parcelo-PID-N" for no name.
QByteArray TemporaryName(const QByteArray& name) {
    static std::atomic<quint64> counter{0};
    QByteArray temporary = name.isEmpty() ? QByteArrayLiteral(".") : '.' + name + '.';
    return temporary + kMarker + QByteArray::number(qint64(::getpid())) + '-' +
           QByteArray::number(counter++);
}

// A nameless file is given its name through its /proc/self/fd entry where linking the
// descriptor itself is not allowed: without /proc, none is made.
bool CanNameOpenFiles() {
    static const bool can = ::access("/proc/self/fd", X_OK) == 0;
    return can;
}

// Names an open nameless file. Linking the descriptor itself spares a walk through /proc, but
// older kernels allow it only to privileged processes; those are asked once.
int LinkOpenFile(int fd, const FileInDirectory& target) {
    static std::atomic<bool> direct{true};
    const bool tryDirect = direct.load(std::memory_order_relaxed) &&
                           !gLackDescriptorLinks.load(std::memory_order_relaxed);
    const char* name = target.entry();
    if (tryDirect) {
        if (::linkat(fd, "", target.directory(), name, AT_EMPTY_PATH) == 0)
            return 0;
        if (errno != ENOENT && errno != EPERM && errno != EINVAL)
            return -1;
    }
    const QByteArray entry = "/proc/self/fd/" + QByteArray::number(fd);
    const int linked =
        ::linkat(AT_FDCWD, entry.constData(), target.directory(), name, AT_SYMLINK_FOLLOW);
    if (linked == 0 && tryDirect)
        direct.store(false, std::memory_order_relaxed);
    return linked;
}

struct Leftover {
    QByteArray name;
    pid_t pid;
};

// The leftovers found in a directory, by the name they were meant for.
using Leftovers = std::map<QByteArray, std::vector<Leftover>>;

// Lists the directory for temporary names of other processes.
Leftovers FindLeftovers(const FileInDirectory& directory) {
    Leftovers found;
    const int listed = ::openat(directory.directory(), directory.directoryEntry(),
                                O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = listed >= 0 ? ::fdopendir(listed) : nullptr;
    if (!dir) {
        if (listed >= 0)
            ::close(listed);
        return found;
    }
    const QByteArray separator = '.' + kMarker;
    while (const dirent* item = ::readdir(dir)) {
        const QByteArray name(item->d_name);
        const qsizetype at = name.lastIndexOf(separator);
        if (at != 0 && (at < 2 || !name.startsWith('.')))
            continue;
        const QList<QByteArray> parts = name.mid(at + separator.size()).split('-');
        bool pidOk = false;
        bool numberOk = false;
        const qint64 pid = parts.size() == 2 ? parts[0].toLongLong(&pidOk) : 0;
        if (parts.size() == 2)
            parts[1].toULongLong(&numberOk);
        if (!pidOk || !numberOk || pid <= 0 || pid == ::getpid() || pid != qint64(pid_t(pid)))
            continue;
        found[at == 0 ? QByteArray() : name.mid(1, at - 1)].push_back({name, pid_t(pid)});
    }
    ::closedir(dir);
    return found;
}

} // namespace

void PendingFile::SetFailureAfterBytes(qint64 bytes) {
    gFailureAfterBytes = bytes;
}

void PendingFile::pretendLacking(Lacking lacking) {
    gLackNamelessFiles.store(lacking.namelessFiles, std::memory_order_relaxed);
    gLackDescriptorLinks.store(lacking.descriptorLinks, std::memory_order_relaxed);
}

int PendingFile::RemoveLeftovers(const FileInDirectory& target) {
    // Leftovers appear only when a run dies, so a directory is listed once a process: listing
    // it for each file would make writing many files of one directory quadratic. A directory is
    // known by its path and identity: a path can name another directory later, and an inode
    // number be given to another one.
    static std::mutex mutex;
    static std::map<std::tuple<QByteArray, dev_t, ino_t>, Leftovers> byDirectory;
    struct stat st;
    if (::fstatat(target.directory(), target.directoryEntry(), &st, 0) != 0)
        return 0;
    std::vector<Leftover> leftovers;
    {
        const std::lock_guard<std::mutex> lock(mutex);
        const auto directory = std::make_tuple(target.directoryPath(), st.st_dev, st.st_ino);
        auto listed = byDirectory.find(directory);
        if (listed == byDirectory.end())
            listed = byDirectory.emplace(directory, FindLeftovers(target)).first;
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
        if (::unlinkat(target.directory(), target.withName(leftover.name).entry(), 0) == 0)
            ++removed;
    }
    return removed;
}

PendingFile::~PendingFile() {
    discard();
}

PendingFile::PendingFile(PendingFile&& other) noexcept
    : directory_(std::move(other.directory_)), options_(other.options_),
      fd_(std::exchange(other.fd_, -1)), temporary_(std::exchange(other.temporary_, {})),
      written_(other.written_), errno_(other.errno_) {}

PendingFile& PendingFile::operator=(PendingFile&& other) noexcept {
    if (this != &other) {
        discard();
        directory_ = std::move(other.directory_);
        options_ = other.options_;
        fd_ = std::exchange(other.fd_, -1);
        temporary_ = std::exchange(other.temporary_, {});
        written_ = other.written_;
        errno_ = other.errno_;
    }
    return *this;
}

bool PendingFile::fail(int error) {
    errno_ = error;
    return false;
}

PendingFile::Placed PendingFile::failed(int error) {
    errno_ = error;
    return Placed::Failed;
}

bool PendingFile::begin(const FileInDirectory& target, Options options) {
    discard();
    directory_ = target;
    options_ = options;
    written_ = 0;
    errno_ = 0;
    const int dir = target.directory();
    struct stat existing;
    const bool keep = options.keepMode && !target.name().isEmpty() &&
                      ::fstatat(dir, target.entry(), &existing, 0) == 0 &&
                      S_ISREG(existing.st_mode);
    const mode_t mode = keep ? 0600 : 0666;
    if (options.naming != Naming::Temporary) {
        const bool can = CanNameOpenFiles() && !gLackNamelessFiles.load(std::memory_order_relaxed);
        fd_ = can ? ::openat(dir, target.directoryEntry(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode)
                  : -1;
        const int error = can ? errno : EOPNOTSUPP;
        // File systems without nameless files say so in one of these ways.
        const bool unsupported = error == EOPNOTSUPP || error == EISDIR || error == EINVAL;
        if (fd_ < 0 && (!unsupported || options.naming == Naming::NamelessOnly))
            return fail(unsupported ? EOPNOTSUPP : error);
    }
    for (int attempt = 0; fd_ < 0 && attempt < 100; ++attempt) {
        temporary_ = TemporaryName(target.name());
        fd_ = ::openat(dir, target.withName(temporary_).entry(),
                       O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd_ < 0 && errno != EEXIST)
            break;
    }
    if (fd_ < 0) {
        temporary_.clear();
        return fail(errno);
    }
    if (keep)
        ::fchmod(fd_, existing.st_mode & 07777);
    return true;
}

bool PendingFile::write(const char* data, qint64 size) {
    if (fd_ < 0)
        return fail(errno_ != 0 ? errno_ : EBADF);
    const qint64 limit = gFailureAfterBytes;
    bool injected = false;
    if (limit >= 0 && written_ + size > limit) {
        size = std::max<qint64>(0, limit - written_);
        injected = true;
    }
    while (size > 0) {
        const ssize_t n = ::write(fd_, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail(n < 0 ? errno : EIO);
        data += n;
        size -= n;
        written_ += n;
    }
    return !injected || fail(ENOSPC);
}

bool PendingFile::flush() {
    if (errno_ == 0 && fd_ >= 0 && ::fsync(fd_) != 0)
        errno_ = errno;
    return errno_ == 0;
}

bool PendingFile::identify(struct stat* st) const {
    return fd_ >= 0 && ::fstat(fd_, st) == 0;
}

bool PendingFile::closeFile() {
    if (fd_ < 0)
        return errno_ == 0;
    // close reports delayed write errors of some file systems (NFS, full quotas).
    const bool closed = ::close(fd_) == 0;
    const int error = errno;
    fd_ = -1;
    return errno_ == 0 && (closed || fail(error));
}

PendingFile::Placed PendingFile::placeNew(const FileInDirectory& target) {
    if (errno_ != 0 || (fd_ < 0 && temporary_.isEmpty()) || (options_.durable && !flush()))
        return Placed::Failed;
    if (temporary_.isEmpty()) {
        if (LinkOpenFile(fd_, target) != 0)
            return errno == EEXIST ? Placed::Taken : failed(errno);
        // A file that may be incomplete loses its name again.
        if (!closeFile()) {
            ::unlinkat(target.directory(), target.entry(), 0);
            return Placed::Failed;
        }
    } else {
        if (!closeFile())
            return Placed::Failed;
        switch (RenameNoReplace(directory_.withName(temporary_), target)) {
        case RenameResult::Renamed:
            temporary_.clear();
            break;
        case RenameResult::Taken:
            return Placed::Taken;
        case RenameResult::Failed:
            return failed(errno);
        }
    }
    if (options_.durable)
        target.syncDirectory();
    return Placed::Placed;
}

PendingFile::Placed PendingFile::replace(const FileInDirectory& target,
                                         const struct stat* replaced) {
    if (errno_ != 0 || (fd_ < 0 && temporary_.isEmpty()) || (options_.durable && !flush()))
        return Placed::Failed;
    // A nameless file is renamed over the name from a temporary name of its own.
    for (int attempt = 0; temporary_.isEmpty() && attempt < 100; ++attempt) {
        const QByteArray temporary = TemporaryName(directory_.name());
        if (LinkOpenFile(fd_, directory_.withName(temporary)) == 0)
            temporary_ = temporary;
        else if (errno != EEXIST)
            break;
    }
    if (temporary_.isEmpty())
        return failed(errno);
    if (!closeFile())
        return Placed::Failed;
    struct stat now;
    if (replaced && (!target.stat(&now) || !SameFile(now, *replaced)))
        return Placed::Taken;
    if (::renameat(directory_.directory(), directory_.withName(temporary_).entry(),
                   target.directory(), target.entry()) != 0)
        return failed(errno);
    temporary_.clear();
    if (options_.durable)
        target.syncDirectory();
    return Placed::Placed;
}

void PendingFile::discard() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!temporary_.isEmpty())
        ::unlinkat(directory_.directory(), directory_.withName(temporary_).entry(), 0);
    temporary_.clear();
}

} // namespace parcelo
