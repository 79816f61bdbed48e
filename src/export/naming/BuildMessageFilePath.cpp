// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/naming/BuildMessageFilePath.h"

#include "export/naming/NameLimits.h"
#include "export/naming/SanitizeName.h"
#include "export/output/FileChecks.h"

#include <QFile>
#include <QFileInfo>
#include <limits>

namespace parcelo {

namespace {

// name (cut to fit) + suffix + "." + extension, or empty when nothing of the name fits.
QString candidateName(const QString& base, const QString& suffix, const QString& extension) {
    const QString tail = suffix + u'.' + extension;
    const qsizetype room = kMaxNameBytes - tail.toUtf8().size();
    if (room <= 0)
        return {};
    const QString name = CutToUtf8Bytes(base, room);
    if (name.isEmpty())
        return {};
    return name + tail;
}

bool isTaken(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

QString noName(QString* error, const QString& reason) {
    if (error)
        *error = reason;
    return {};
}

} // namespace

QString BuildMessageFilePath(const QString& directory, const QString& name,
                             const QString& extension, bool makeUnique, bool reserve,
                             int firstNumber, int* numberUsed, QString* error) {
    for (int n = makeUnique ? qMax(firstNumber, 0) : 0; n < std::numeric_limits<int>::max(); ++n) {
        const QString candidate = NumberedMessageFilePath(directory, name, extension, n, error);
        if (candidate.isEmpty())
            return {};
        if (makeUnique && FileExists(candidate))
            continue;
        if (numberUsed)
            *numberUsed = n;
        if (!reserve)
            return candidate;
        QFile file(candidate);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return candidate;
        // Someone took the name in between: try the next one. Anything else (a directory
        // of that name, no permission) leaves the message without a file.
        if (!makeUnique || !isTaken(candidate) || QFileInfo(candidate).isDir())
            return noName(error, candidate + QStringLiteral(": ") + file.errorString());
    }
    return noName(error, QStringLiteral("every numbered name is taken"));
}

QString NumberedMessageFilePath(const QString& directory, const QString& name,
                                const QString& extension, int number, QString* error) {
    if (extension.contains(u'/') || extension.contains(QChar(u'\0')))
        return noName(
            error,
            QStringLiteral("the extension '%1' cannot be part of a file name").arg(extension));
    qsizetype end = directory.size();
    while (end > 1 && directory.at(end - 1) == u'/')
        --end;
    QString path = directory.left(end);
    if (!path.endsWith(u'/'))
        path += u'/';
    const QString suffix = number == 0 ? QString() : u'_' + QString::number(number);
    const QString fileName = candidateName(SanitizeFileName(name), suffix, extension);
    if (fileName.isEmpty())
        return noName(
            error,
            QStringLiteral("the extension '%1' leaves no room for a file name").arg(extension));
    return path + fileName;
}

} // namespace parcelo
