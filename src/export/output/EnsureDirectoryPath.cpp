// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/output/EnsureDirectoryPath.h"

#include "export/naming/SanitizeName.h"
#include "platform/SystemErrorText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <sys/stat.h>

namespace parcelo {

QString CleanRootPath(const QString& root) {
    if (root.isEmpty())
        return {};
    if (!QDir::isAbsolutePath(root))
        return QDir::cleanPath(QFileInfo(root).absoluteFilePath());
    // A run asks for the same root for every message.
    thread_local QString lastRoot;
    thread_local QString lastClean;
    if (root != lastRoot || lastClean.isEmpty()) {
        lastClean = QDir::cleanPath(QFileInfo(root).absoluteFilePath());
        lastRoot = root;
    }
    return lastClean;
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

namespace {

bool fail(QString* error, const QString& text) {
    if (error)
        *error = text;
    return false;
}

} // namespace

bool EnsureDirectoryPath(const QString& root, const QStringList& components, QString* error) {
    for (const QString& component : components) {
        if (!IsValidPathComponent(component))
            return fail(error, QStringLiteral("'%1' cannot be a folder name").arg(component));
    }
    QString path = root;
    for (const QString& component : components) {
        path = JoinDirectory(path, {component});
        if (QFileInfo(path).isDir())
            continue;
        if (::mkdir(QFile::encodeName(path).constData(), 0777) != 0)
            return fail(error, QStringLiteral("cannot create the folder %1: %2")
                                   .arg(path, SystemErrorText(errno == EEXIST ? ENOTDIR : errno)));
    }
    if (QFileInfo(path).isDir())
        return true;
    struct stat st;
    const int reason = ::stat(QFile::encodeName(path).constData(), &st) == 0 ? ENOTDIR : errno;
    return fail(error, path + QStringLiteral(": ") + SystemErrorText(reason));
}

} // namespace parcelo
