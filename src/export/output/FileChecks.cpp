#include "export/output/FileChecks.h"

#include <QFileInfo>

namespace parcelo {

bool DirectoryExists(const QString& path) {
    if (path.size() < 3)
        return false;
    return QFileInfo(path).isDir();
}

bool FileExists(const QString& path) {
    if (path.size() <= 3)
        return false;
    const QFileInfo info(path);
    if (info.isSymLink())
        return !info.isDir();
    return info.exists() && !info.isDir();
}

} // namespace parcelo
