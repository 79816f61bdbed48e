#include "platform/RenameNoReplace.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

namespace parcelo {

RenameResult RenameNoReplace(const QString& from, const QString& to) {
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) ==
        0)
        return RenameResult::Renamed;
    if (errno == EEXIST)
        return RenameResult::Taken;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return RenameResult::Failed;
    if (::link(source.constData(), target.constData()) != 0)
        return errno == EEXIST ? RenameResult::Taken : RenameResult::Failed;
    if (::unlink(source.constData()) == 0)
        return RenameResult::Renamed;
    // Both names would hold the file: take the new one back.
    const int error = errno;
    ::unlink(target.constData());
    errno = error;
    return RenameResult::Failed;
}

} // namespace parcelo
