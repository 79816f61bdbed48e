// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/DeepTree.h"

#include <QFile>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace parcelo::test {

namespace {

bool WriteAt(int dir, const char* name, const QByteArray& content) {
    const int fd = ::openat(dir, name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, content.constData(), size_t(content.size())) == content.size();
    return ::close(fd) == 0 && ok;
}

void RemoveAt(int parent, const char* name) {
    const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        ::unlinkat(parent, name, 0);
        return;
    }
    DIR* dir = ::fdopendir(fd);
    while (const dirent* item = ::readdir(dir)) {
        const QByteArray entry(item->d_name);
        if (entry != "." && entry != "..")
            RemoveAt(::dirfd(dir), item->d_name);
    }
    ::closedir(dir);
    ::unlinkat(parent, name, AT_REMOVEDIR);
}

} // namespace

bool MakeDeepTree(const QString& root, int levels, const QByteArray& dirName,
                  const QByteArray& fileName, const QByteArray& content, bool withCur) {
    int dir = ::open(QFile::encodeName(root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    bool ok = dir >= 0;
    for (int level = 0; ok && level < levels; ++level) {
        ok = ::mkdirat(dir, dirName.constData(), 0700) == 0;
        const int next = ok ? ::openat(dir, dirName.constData(), O_RDONLY | O_DIRECTORY) : -1;
        ::close(dir);
        dir = next;
        ok = ok && dir >= 0;
        if (ok && !fileName.isEmpty())
            ok = WriteAt(dir, fileName.constData(), content);
        if (ok && withCur) {
            ok = ::mkdirat(dir, "cur", 0700) == 0;
            const int cur = ok ? ::openat(dir, "cur", O_RDONLY | O_DIRECTORY) : -1;
            ok = cur >= 0 && WriteAt(cur, "1.host:2,S", content);
            if (cur >= 0)
                ::close(cur);
        }
    }
    if (dir >= 0)
        ::close(dir);
    return ok;
}

void RemoveDeepTree(const QString& path) {
    RemoveAt(AT_FDCWD, QFile::encodeName(path).constData());
}

} // namespace parcelo::test
