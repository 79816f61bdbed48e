#include "export/output/EnsureDirectoryPath.h"

#include "export/naming/SanitizeName.h"

#include <QDir>
#include <QFileInfo>

namespace parcelo {

QString CleanRootPath(const QString& root) {
    if (root.isEmpty())
        return {};
    return QDir::cleanPath(QFileInfo(root).absoluteFilePath());
}

QString JoinDirectory(const QString& root, const QStringList& components) {
    QString path = root;
    for (const QString& component : components) {
        if (!path.endsWith(u'/'))
            path += u'/';
        path += component;
    }
    return path;
}

bool EnsureDirectoryPath(const QString& root, const QStringList& components) {
    for (const QString& component : components) {
        if (!IsValidPathComponent(component))
            return false;
    }
    QString path = root;
    for (const QString& component : components) {
        path = JoinDirectory(path, {component});
        if (QFileInfo(path).isDir())
            continue;
        if (!QDir().mkdir(path))
            return false;
    }
    return QFileInfo(path).isDir();
}

} // namespace parcelo
