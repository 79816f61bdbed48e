#include "platform/DefaultStoreFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QHash>
#include <QList>
#include <QPair>

namespace parcelo {

namespace {

// The client's profile list, read afresh each time: QSettings keeps files it has read and can
// miss a rewrite of the same size within the same second.
using IniGroups = QList<QPair<QString, QHash<QString, QString>>>;

IniGroups readIni(const QString& path) {
    IniGroups groups;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return groups;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            groups.append({line.mid(1, line.size() - 2), {}});
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!groups.isEmpty() && equals > 0)
            groups.last().second.insert(line.left(equals).trimmed(), line.mid(equals + 1).trimmed());
    }
    return groups;
}

QString profilePath(const QHash<QString, QString>& group, const QString& base) {
    const QString path = group.value(QStringLiteral("Path"));
    if (path.isEmpty())
        return {};
    const bool relative = group.value(QStringLiteral("IsRelative"), QStringLiteral("1")) ==
                          QStringLiteral("1");
    return relative ? QDir(base).filePath(path) : path;
}

} // namespace

QString DefaultProfileFolder(const QString& profilesIni) {
    if (!QFileInfo(profilesIni).isFile())
        return {};
    const IniGroups groups = readIni(profilesIni);
    const QString base = QFileInfo(profilesIni).absolutePath();
    // Newer clients name the default of each installation; older ones mark a profile.
    for (const auto& [name, values] : groups) {
        if (!name.startsWith(QLatin1String("Install")))
            continue;
        const QString path = values.value(QStringLiteral("Default"));
        if (!path.isEmpty())
            return QDir::isAbsolutePath(path) ? path : QDir(base).filePath(path);
    }
    QString first;
    for (const auto& [name, values] : groups) {
        if (!name.startsWith(QLatin1String("Profile")))
            continue;
        const QString path = profilePath(values, base);
        if (values.value(QStringLiteral("Default")) == QStringLiteral("1"))
            return path;
        if (first.isEmpty())
            first = path;
    }
    return first;
}

QString DefaultStoreFolder(const QString& home) {
    const QString profile =
        DefaultProfileFolder(home + QStringLiteral("/.thunderbird/profiles.ini"));
    QStringList candidates;
    if (!profile.isEmpty())
        candidates << QDir(profile).filePath(QStringLiteral("Mail/Local Folders"));
    candidates << home + QStringLiteral("/Maildir") << home + QStringLiteral("/mail");
    for (const QString& candidate : candidates)
        if (QFileInfo(candidate).isDir())
            return QDir::cleanPath(candidate);
    return {};
}

} // namespace parcelo
