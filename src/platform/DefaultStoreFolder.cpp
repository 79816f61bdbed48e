#include "platform/DefaultStoreFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace parcelo {

namespace {

QString profilePath(const QSettings& ini, const QString& group, const QString& base) {
    const QString path = ini.value(group + QStringLiteral("/Path")).toString();
    if (path.isEmpty())
        return {};
    const bool relative = ini.value(group + QStringLiteral("/IsRelative"), 1).toInt() == 1;
    return relative ? QDir(base).filePath(path) : path;
}

} // namespace

QString DefaultProfileFolder(const QString& profilesIni) {
    if (!QFileInfo(profilesIni).isFile())
        return {};
    const QSettings ini(profilesIni, QSettings::IniFormat);
    const QString base = QFileInfo(profilesIni).absolutePath();
    // Newer clients name the default of each installation; older ones mark a profile.
    for (const QString& group : ini.childGroups()) {
        if (!group.startsWith(QLatin1String("Install")))
            continue;
        const QString path = ini.value(group + QStringLiteral("/Default")).toString();
        if (!path.isEmpty())
            return QDir::isAbsolutePath(path) ? path : QDir(base).filePath(path);
    }
    QString first;
    for (const QString& group : ini.childGroups()) {
        if (!group.startsWith(QLatin1String("Profile")))
            continue;
        const QString path = profilePath(ini, group, base);
        if (ini.value(group + QStringLiteral("/Default")).toInt() == 1)
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
