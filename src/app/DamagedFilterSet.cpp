// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DamagedFilterSet.h"

#include "platform/RenameNoReplace.h"
#include "platform/SystemErrorText.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>

namespace parcelo {

namespace {

// An earlier damaged copy is never replaced: the next free number is taken.
bool MoveAsideNoReplace(const QString& from, QString* to) {
    for (int n = 0; n < 1000; ++n) {
        *to = from + QStringLiteral(".damaged") + (n ? u'.' + QString::number(n) : QString());
        switch (RenameNoReplace(from, *to)) {
        case RenameResult::Renamed:
            return true;
        case RenameResult::Taken:
            continue;
        case RenameResult::Failed:
            return false;
        }
    }
    errno = EEXIST;
    return false;
}

} // namespace

bool FilterSetFileDamaged(const CParceloApp& app) {
    if (app.FilterSetLoad.ok())
        return false;
    const QFileInfo info(app.Paths.FilterSetFile);
    return info.exists() || info.isSymLink();
}

QString SetAsideDamagedFilterSet(CParceloApp& app) {
    if (!FilterSetFileDamaged(app))
        return {};
    const QString path = app.Paths.FilterSetFile;
    app.Filters.items.clear();
    QString movedTo;
    if (MoveAsideNoReplace(path, &movedTo)) {
        return QStringLiteral("The filter set %1 could not be read (%2). It was kept as %3; "
                              "Parcelo starts with no filters.")
            .arg(path, app.FilterSetLoad.errorText, movedTo);
    }
    const QString reason = SystemErrorText(errno);
    app.KeepFilterSetFile = true;
    return QStringLiteral("The filter set %1 could not be read (%2), nor kept aside (%3). "
                          "Parcelo starts with no filters and will not change the file.")
        .arg(path, app.FilterSetLoad.errorText, reason);
}

} // namespace parcelo
