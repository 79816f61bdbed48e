// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/DefaultStoreFolder.h"

#include "platform/IniText.h"

#include <QDir>
#include <QFileInfo>

namespace parcelo {

namespace {

QString profilePath(const QHash<QString, QString>& group, const QString& base) {
    const QString path = group.value(QStringLiteral("Path"));
    if (path.isEmpty())
        return {};
    const bool relative =
        group.value(QStringLiteral("IsRelative"), QStringLiteral("1")) == QStringLiteral("1");
    return relative ? QDir(base).filePath(path) : path;
}

} // namespace

QString DefaultProfileFolder(const QString& profilesIni) {
    if (!QFileInfo(profilesIni).isFile())
        return {};
    // Read afresh: QSettings keeps files it has read and can miss a same-size rewrite.
    const IniGroups groups = ReadIniText(profilesIni);
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
