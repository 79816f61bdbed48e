// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/RenameNoReplace.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

namespace parcelo {

namespace {

RenameResult RenameAt(int fromDirectory, const char* from, int toDirectory, const char* to) {
    if (::renameat2(fromDirectory, from, toDirectory, to, RENAME_NOREPLACE) == 0)
        return RenameResult::Renamed;
    if (errno == EEXIST)
        return RenameResult::Taken;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return RenameResult::Failed;
    if (::linkat(fromDirectory, from, toDirectory, to, 0) != 0)
        return errno == EEXIST ? RenameResult::Taken : RenameResult::Failed;
    if (::unlinkat(fromDirectory, from, 0) == 0)
        return RenameResult::Renamed;
    // Both names would hold the file: take the new one back.
    const int error = errno;
    ::unlinkat(toDirectory, to, 0);
    errno = error;
    return RenameResult::Failed;
}

} // namespace

RenameResult RenameNoReplace(const QString& from, const QString& to) {
    return RenameNoReplace(QFile::encodeName(from), QFile::encodeName(to));
}

RenameResult RenameNoReplace(const QByteArray& from, const QByteArray& to) {
    return RenameAt(AT_FDCWD, from.constData(), AT_FDCWD, to.constData());
}

RenameResult RenameNoReplace(const FileInDirectory& from, const FileInDirectory& to) {
    return RenameAt(from.directory(), from.entry(), to.directory(), to.entry());
}

} // namespace parcelo
