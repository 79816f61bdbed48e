// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/AppPaths.h"

#include "platform/ProductInfo.h"
#include "platform/SystemErrorText.h"
#include "platform/UserManualFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <cerrno>
#include <sys/stat.h>

namespace parcelo {

namespace {

// Creates the absolute folder and those above it; false with the system's reason for the first
// step that failed.
bool MakeFolderPath(const QString& folder, QString* reason) {
    QByteArray path;
    for (const QByteArray& part : QFile::encodeName(folder).split('/')) {
        if (part.isEmpty())
            continue;
        path += '/' + part;
        struct stat st;
        if (::stat(path.constData(), &st) == 0) {
            if (S_ISDIR(st.st_mode))
                continue;
            errno = ENOTDIR;
        } else if (::mkdir(path.constData(), 0777) == 0 || errno == EEXIST) {
            continue;
        }
        *reason = QFile::decodeName(path) + QStringLiteral(": ") + SystemErrorText(errno);
        return false;
    }
    return true;
}

} // namespace

QString AbsoluteCleanPath(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

QString WithTrailingSlash(const QString& directory) {
    QString result = directory;
    while (result.size() > 1 && result.endsWith(QLatin1Char('/')))
        result.chop(1);
    if (!result.endsWith(QLatin1Char('/')))
        result += QLatin1Char('/');
    return result;
}

AppPaths AppPaths::ForFolder(const QString& folder) {
    AppPaths paths;
    paths.AppFolder = WithTrailingSlash(folder);
    // The manual belongs to the program, not to the user's folder.
    if (QCoreApplication::instance())
        paths.HelpFiles = UserManualFiles(QCoreApplication::applicationDirPath());
    paths.LogFile = paths.AppFolder + QStringLiteral("Parcelo.log");
    paths.FilterSetFile = paths.AppFolder + QStringLiteral("Filters.xml");
    paths.IndexPage = paths.AppFolder + QStringLiteral("Index.htm");
    paths.IndexCsvFile = paths.AppFolder + QStringLiteral("Index.csv");
    paths.HeaderListFile = paths.AppFolder + QStringLiteral("Headers.lst");
    paths.AttachmentListFile = paths.AppFolder + QStringLiteral("Attachments.lst");
    return paths;
}

bool AppPaths::Resolve(const QString& appFolderOverride, AppPaths* paths, QString* error) {
    QString folder;
    if (!appFolderOverride.isEmpty()) {
        folder = AbsoluteCleanPath(appFolderOverride);
    } else {
        QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
        if (dataHome.isEmpty() || !QDir::isAbsolutePath(dataHome))
            dataHome = QDir::homePath() + QStringLiteral("/.local/share");
        folder = QDir::cleanPath(dataHome + QLatin1Char('/') + kProductName);
    }
    QString reason;
    if (!MakeFolderPath(folder, &reason)) {
        if (error)
            *error = QStringLiteral("cannot create the application folder '%1': %2")
                         .arg(folder, reason);
        return false;
    }
    *paths = ForFolder(folder);
    return true;
}

} // namespace parcelo
