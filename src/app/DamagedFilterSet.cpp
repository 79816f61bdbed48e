#include "app/DamagedFilterSet.h"

#include "platform/SystemErrorText.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

namespace parcelo {

namespace {

// Renames without replacing: an earlier damaged copy is never lost.
bool MoveAsideNoReplace(const QString& from, QString* to) {
    const QByteArray source = QFile::encodeName(from);
    for (int n = 0; n < 1000; ++n) {
        *to = from + QStringLiteral(".damaged") + (n ? u'.' + QString::number(n) : QString());
        const QByteArray target = QFile::encodeName(*to);
        if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(),
                        RENAME_NOREPLACE) == 0)
            return true;
        if (errno == EINVAL || errno == ENOSYS) {
            // A file system without that rename: link and unlink keep the same promise.
            if (::link(source.constData(), target.constData()) == 0) {
                if (::unlink(source.constData()) == 0)
                    return true;
                const int error = errno;
                ::unlink(target.constData());
                errno = error;
                return false;
            }
        }
        if (errno != EEXIST)
            return false;
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
