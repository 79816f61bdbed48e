// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FileInDirectory.h"

#include <QFile>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace parcelo {

void FileInDirectory::setPath(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    directoryPath_ = slash < 0    ? QByteArrayLiteral(".")
                     : slash == 0 ? QByteArrayLiteral("/")
                                  : path.left(slash);
    name_ = path.mid(slash + 1);
    path_ = path;
}

QString FileInDirectory::displayPath() const {
    return QFile::decodeName(path_);
}

bool FileInDirectory::open(const QByteArray& path) {
    FileInDirectory opened;
    opened.setPath(path);
    // Read access lets the directory be flushed after a rename; without it, the descriptor
    // still names the directory.
    const char* directory = opened.directoryPath_.constData();
    int fd = ::open(directory, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 && errno == EACCES)
        fd = ::open(directory, O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    opened.directory_ = std::shared_ptr<const int>(new int(fd), [](const int* owned) {
        ::close(*owned);
        delete owned;
    });
    opened.entry_ = opened.name_;
    *this = std::move(opened);
    return true;
}

FileInDirectory FileInDirectory::ByPath(const QByteArray& path) {
    FileInDirectory entry;
    entry.setPath(path);
    entry.entry_ = path;
    return entry;
}

FileInDirectory FileInDirectory::sibling(const QByteArray& suffix) const {
    return withName(name_ + suffix);
}

FileInDirectory FileInDirectory::withName(const QByteArray& name) const {
    FileInDirectory other = *this;
    const QByteArray path = directoryPath_ == "/" ? '/' + name : directoryPath_ + '/' + name;
    other.name_ = name;
    other.entry_ = directory_ ? name : path;
    other.path_ = path;
    return other;
}

int FileInDirectory::directory() const {
    return directory_ ? *directory_ : AT_FDCWD;
}

const char* FileInDirectory::directoryEntry() const {
    return directory_ ? "." : directoryPath_.constData();
}

bool FileInDirectory::stat(struct stat* st) const {
    return ::fstatat(directory(), entry(), st, AT_SYMLINK_NOFOLLOW) == 0;
}

void FileInDirectory::syncDirectory() const {
    const int fd = ::openat(directory(), directoryEntry(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
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
