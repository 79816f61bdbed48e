// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/StoreDirectory.h"

#include <QFile>
#include <algorithm>
#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace parcelo {

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

} // namespace

PathPin::~PathPin() {
    ::close(fd_);
}

std::vector<StoreDirEntry> ListStoreDirectory(const StorePath& directory) {
    std::vector<StoreDirEntry> entries;
    const QByteArray nativeDirectory = QFile::encodeName(directory.path);
    const std::unique_ptr<DIR, DirCloser> dir(::opendir(nativeDirectory.constData()));
    if (!dir)
        return entries;
    const int dirFd = ::dirfd(dir.get());
    while (const dirent* item = ::readdir(dir.get())) {
        const QByteArray name(item->d_name);
        if (name == "." || name == "..")
            continue;
        struct stat st;
        if (::fstatat(dirFd, name.constData(), &st, 0) != 0)
            continue;
        StoreDirEntry entry;
        entry.name = name;
        entry.displayName = QString::fromUtf8(name);
        entry.kind = S_ISDIR(st.st_mode)   ? StoreDirEntry::Kind::Directory
                     : S_ISREG(st.st_mode) ? StoreDirEntry::Kind::RegularFile
                                           : StoreDirEntry::Kind::Other;
        entry.identity = {st.st_dev, st.st_ino};
        entries.push_back(std::move(entry));
    }
    std::sort(entries.begin(), entries.end(),
              [](const StoreDirEntry& a, const StoreDirEntry& b) { return a.name < b.name; });
    return entries;
}

StorePath EntryPath(const StorePath& directory, const StoreDirEntry& entry) {
    if (entry.displayName.toUtf8() == entry.name)
        return {directory.path + QLatin1Char('/') + entry.displayName, directory.pin};
    const QByteArray path = QFile::encodeName(directory.path) + '/' + entry.name;
    const int fd = ::open(path.constData(), O_PATH | O_CLOEXEC);
    if (fd < 0)
        return {};
    return {QStringLiteral("/proc/self/fd/%1").arg(fd), std::make_shared<PathPin>(fd)};
}

QString ReasonToSkip(const StorePath& path, int level) {
    if (level > kMaxFolderLevel)
        return QStringLiteral("it lies more than %1 folders deep").arg(kMaxFolderLevel);
    if (QFile::encodeName(path.path).size() >= PATH_MAX)
        return QStringLiteral("its path is longer than the system allows (%1 bytes)")
            .arg(PATH_MAX - 1);
    return {};
}

bool TakesOrNotesSkipped(const StorePath& path, int level, std::vector<SkippedFolder>* skipped) {
    QString reason = ReasonToSkip(path, level);
    if (reason.isEmpty())
        return true;
    if (skipped)
        skipped->push_back({path.path, std::move(reason)});
    return false;
}

bool DirectoryIdentity(const QString& path, FileIdentity* identity) {
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    *identity = {st.st_dev, st.st_ino};
    return true;
}

} // namespace parcelo
