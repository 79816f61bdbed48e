// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

namespace parcelo {

// Where every application file lives: one fixed per-user folder, whatever the current directory.
struct AppPaths {
    QString AppFolder;     // ends with exactly one '/'
    QStringList HelpFiles; // the user's manual: the first of these that exists
    QString LogFile;
    QString FilterSetFile;
    QString IndexPage;
    QString IndexCsvFile;
    QString HeaderListFile;
    QString AttachmentListFile;

    // $XDG_DATA_HOME/Parcelo/ (default ~/.local/share/Parcelo/), or the override when given.
    // The folder is created; false when that fails.
    static bool Resolve(const QString& appFolderOverride, AppPaths* paths, QString* error);
    static AppPaths ForFolder(const QString& folder);
};

// An absolute, cleaned directory path with exactly one trailing '/'.
QString WithTrailingSlash(const QString& directory);
QString AbsoluteCleanPath(const QString& path);

} // namespace parcelo
