#include "platform/FileInDirectory.h"

#include <QFile>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace parcelo {

bool FileInDirectory::open(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray directory = slash < 0    ? QByteArrayLiteral(".")
                                 : slash == 0 ? QByteArrayLiteral("/")
                                              : path.left(slash);
    // Read access lets the directory be flushed after a rename; without it, the descriptor
    // still names the directory.
    int fd = ::open(directory.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 && errno == EACCES)
        fd = ::open(directory.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    directory_ = std::shared_ptr<const int>(new int(fd), [](const int* owned) {
        ::close(*owned);
        delete owned;
    });
    directoryPath_ = directory;
    name_ = path.mid(slash + 1);
    displayPath_ = QFile::decodeName(path);
    return true;
}

FileInDirectory FileInDirectory::sibling(const QByteArray& suffix) const {
    return withName(name_ + suffix);
}

FileInDirectory FileInDirectory::withName(const QByteArray& name) const {
    FileInDirectory other = *this;
    other.name_ = name;
    other.displayPath_ =
        QFile::decodeName(directoryPath_ == "/" ? '/' + name : directoryPath_ + '/' + name);
    return other;
}

bool FileInDirectory::stat(struct stat* st) const {
    return ::fstatat(directory(), name_.constData(), st, AT_SYMLINK_NOFOLLOW) == 0;
}

QByteArray ResolvedPath(const QByteArray& path) {
    char* resolved = ::realpath(path.constData(), nullptr);
    if (!resolved)
        return {};
    QByteArray result(resolved);
    std::free(resolved);
    return result;
}

} // namespace parcelo
