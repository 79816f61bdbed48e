#include "export/output/MessageFileDraft.h"

#include "platform/SystemErrorText.h"

#include <QFile>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace parcelo {

namespace {

std::atomic<bool> g_lackNamelessFiles{false};
std::atomic<bool> g_lackDescriptorLinks{false};

// A nameless file is given its name through its /proc/self/fd entry.
bool CanNameOpenFiles() {
    static const bool can = ::access("/proc/self/fd", X_OK) == 0;
    return can;
}

// A file system without nameless files refuses them so.
int OpenNameless(const QString& directory) {
    if (g_lackNamelessFiles.load(std::memory_order_relaxed)) {
        errno = EOPNOTSUPP;
        return -1;
    }
    return ::open(QFile::encodeName(directory).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
}

QByteArray FdPath(int fd) {
    return "/proc/self/fd/" + QByteArray::number(fd);
}

// Names an open nameless file. Linking the descriptor itself spares a walk through /proc, but
// older kernels allow it only to privileged processes; those are asked once.
int LinkOpenFile(int fd, const char* target) {
    static std::atomic<bool> direct{true};
    const bool tryDirect = direct.load(std::memory_order_relaxed) &&
                           !g_lackDescriptorLinks.load(std::memory_order_relaxed);
    if (tryDirect) {
        if (::linkat(fd, "", AT_FDCWD, target, AT_EMPTY_PATH) == 0)
            return 0;
        if (errno != ENOENT && errno != EPERM && errno != EINVAL)
            return -1;
    }
    const int linked =
        ::linkat(AT_FDCWD, FdPath(fd).constData(), AT_FDCWD, target, AT_SYMLINK_FOLLOW);
    if (linked == 0 && tryDirect)
        direct.store(false, std::memory_order_relaxed);
    return linked;
}

} // namespace

void MessageFileDraft::pretendLacking(Lacking lacking) {
    g_lackNamelessFiles.store(lacking.namelessFiles, std::memory_order_relaxed);
    g_lackDescriptorLinks.store(lacking.descriptorLinks, std::memory_order_relaxed);
}

MessageFileDraft::~MessageFileDraft() {
    discard();
}

MessageFileDraft::MessageFileDraft(MessageFileDraft&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), temporary_(std::exchange(other.temporary_, QString())),
      identity_(std::exchange(other.identity_, FileIdentity())) {}

MessageFileDraft& MessageFileDraft::operator=(MessageFileDraft&& other) noexcept {
    if (this != &other) {
        discard();
        fd_ = std::exchange(other.fd_, -1);
        temporary_ = std::exchange(other.temporary_, QString());
        identity_ = std::exchange(other.identity_, FileIdentity());
    }
    return *this;
}

bool MessageFileDraft::writeNameless(const QString& directory, const QByteArray& bytes) {
    discard();
    if (!CanNameOpenFiles())
        return false;
    const int fd = OpenNameless(directory);
    if (fd < 0)
        return false;
    struct stat info {};
    if (!WriteAllToFd(fd, bytes) || ::fstat(fd, &info) != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    identity_ = FileIdentity::of(info);
    return true;
}

void MessageFileDraft::discard() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!temporary_.isEmpty())
        ::unlink(QFile::encodeName(temporary_).constData());
    temporary_.clear();
    identity_ = {};
}

bool MessageFileDraft::write(const QString& directory, const QByteArray& bytes, QString* error) {
    discard();
    if (CanNameOpenFiles()) {
        const int fd = OpenNameless(directory);
        if (fd >= 0) {
            struct stat info {};
            if (WriteAllToFd(fd, bytes) && ::fstat(fd, &info) == 0) {
                fd_ = fd;
                identity_ = FileIdentity::of(info);
                return true;
            }
            const int code = errno;
            ::close(fd);
            *error = SystemErrorText(code == 0 ? EIO : code);
            return false;
        }
        // File systems without nameless files take a temporary name instead.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            *error = SystemErrorText(errno);
            return false;
        }
    }
    temporary_ = WriteTemporaryMessageFile(directory, bytes, error, &identity_);
    return !temporary_.isEmpty();
}

PlaceResult MessageFileDraft::place(const QString& path, QString* error) {
    if (fd_ < 0) {
        const PlaceResult placed = PlaceMessageFile(temporary_, path, error);
        if (placed == PlaceResult::Placed)
            temporary_.clear();
        return placed;
    }
    const QByteArray target = QFile::encodeName(path);
    if (LinkOpenFile(fd_, target.constData()) != 0) {
        if (errno == EEXIST)
            return PlaceResult::Taken;
        *error = path + QStringLiteral(": ") + SystemErrorText(errno);
        return PlaceResult::Failed;
    }
    // close reports delayed write errors of some file systems: a file that may be incomplete
    // loses its name again.
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
        *error = path + QStringLiteral(": ") + SystemErrorText(errno);
        ::unlink(target.constData());
        return PlaceResult::Failed;
    }
    return PlaceResult::Placed;
}

} // namespace parcelo
