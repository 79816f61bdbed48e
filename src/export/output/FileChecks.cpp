// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/output/FileChecks.h"

#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>

namespace parcelo {

bool DirectoryExists(const QString& path) {
    if (path.size() < 3)
        return false;
    return QFileInfo(path).isDir();
}

bool FileExists(const QString& path) {
    if (path.size() <= 3)
        return false;
    // The entry itself: a link is a taken name wherever it points, even to a directory.
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return false;
    return !S_ISDIR(info.st_mode);
}

} // namespace parcelo
