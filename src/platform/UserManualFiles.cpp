// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/UserManualFiles.h"

#include <QDir>
#include <QFileInfo>

namespace parcelo {

namespace {

bool isInside(const QString& folder, const QString& tree) {
    const QString canonicalFolder = QFileInfo(folder).canonicalFilePath();
    const QString canonicalTree = QFileInfo(tree).canonicalFilePath();
    return !canonicalFolder.isEmpty() && !canonicalTree.isEmpty() &&
           (canonicalFolder == canonicalTree ||
            canonicalFolder.startsWith(canonicalTree + QLatin1Char('/')));
}

} // namespace

QStringList UserManualFiles(const QString& programFolder) {
    QStringList files;
    if (programFolder.isEmpty())
        return files;
    files.append(QDir::cleanPath(programFolder + QLatin1Char('/') +
                                 QStringLiteral(PARCELO_MANUAL_FROM_PROGRAM)));
    if (isInside(programFolder, QStringLiteral(PARCELO_BUILD_DIR)))
        files.append(QStringLiteral(PARCELO_MANUAL_SOURCE_FILE));
    return files;
}

} // namespace parcelo
