// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/RegularFile.h"

#include "platform/SystemErrorText.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace parcelo {

namespace {

bool isPseudo(const struct statfs& fs) {
    return fs.f_type == PROC_SUPER_MAGIC || fs.f_type == SYSFS_MAGIC;
}

bool onPseudoFileSystem(int fd) {
    struct statfs fs;
    return ::fstatfs(fd, &fs) == 0 && isPseudo(fs);
}

bool openRegular(QFile* file, const QString& path, bool blocking, QString* error) {
    const auto fail = [&](const QString& reason) {
        if (error)
            *error = reason;
        return false;
    };
    // O_NONBLOCK: opening a FIFO would wait for a writer before fstat could refuse it.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail(SystemErrorText(errno));
    struct stat st;
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && !onPseudoFileSystem(fd);
    const auto closeAndFail = [&](const QString& reason) {
        ::close(fd);
        return fail(reason);
    };
    if (!regular)
        return closeAndFail(QStringLiteral("not a regular file"));
    if (blocking && ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)
        return closeAndFail(SystemErrorText(errno));
    if (!file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return closeAndFail(file->errorString());
    return true;
}

} // namespace

bool OpenRegularFile(QFile* file, const QString& path, QString* error) {
    return openRegular(file, path, true, error);
}

bool OpenRegularFileToPeek(QFile* file, const QString& path) {
    return openRegular(file, path, false, nullptr);
}

bool IsOnPseudoFileSystem(int fd) {
    return onPseudoFileSystem(fd);
}

bool IsOnPseudoFileSystem(const QString& path) {
    struct statfs fs;
    return ::statfs(QFile::encodeName(path).constData(), &fs) == 0 && isPseudo(fs);
}

} // namespace parcelo
