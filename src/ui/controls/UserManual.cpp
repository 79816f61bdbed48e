// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/controls/UserManual.h"

#include "ui/controls/MessageBox.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace parcelo::ui {

QString ManualSectionUrl(const QString& file, const QString& section) {
    QUrl url = QUrl::fromLocalFile(file);
    url.setFragment(section);
    return url.toString(QUrl::FullyEncoded);
}

bool OpenUserManual(QWidget* parent, const QStringList& files, const QString& section,
                    const std::function<bool(const QString&)>& shellOpen) {
    for (const QString& file : files) {
        if (!QFileInfo(file).isFile())
            continue;
        if (shellOpen(ManualSectionUrl(file, section)))
            return true;
        ShowMessage(parent, QStringLiteral("The user's manual %1 could not be shown: no program "
                                           "to open it could be started.")
                                .arg(QDir::toNativeSeparators(file)));
        return false;
    }
    QStringList places;
    for (const QString& file : files)
        places.append(QStringLiteral("  ") + QDir::toNativeSeparators(file));
    ShowMessage(parent, files.isEmpty()
                            ? QStringLiteral("The user's manual could not be found.")
                            : QStringLiteral("The user's manual could not be found. It was "
                                             "looked for at:\n") +
                                  places.join(QLatin1Char('\n')));
    return false;
}

} // namespace parcelo::ui
