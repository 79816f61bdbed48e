// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace parcelo {

// The program's version information; names the settings file and captions message boxes.
inline const QString kProductName = QStringLiteral("Parcelo");
inline const QString kProductVersion = QStringLiteral(PARCELO_VERSION);
inline const QString kProductDescription =
    QStringLiteral("Exports e-mail from a local mail store to message files");
inline const QString kProductCopyright =
    QStringLiteral("Copyright (C) 2026 the Parcelo developers");
inline const QString kProductLicense =
    QStringLiteral("License GPL-3.0-or-later: GNU General Public License, version 3 or later\n"
                   "<https://www.gnu.org/licenses/gpl-3.0.html>.\n"
                   "This is free software: you are free to change and redistribute it.\n"
                   "There is NO WARRANTY, to the extent permitted by law.");

// The project's addresses, set when the build is configured: the home page (Help menu, index
// page) and where feedback and problem reports go.
inline const QString kProductHomePage = QStringLiteral(PARCELO_HOME_PAGE);
inline const QString kProductSupportAddress = QStringLiteral(PARCELO_SUPPORT_ADDRESS);

// What `--version` prints: the program and version, the copyright and the licence.
inline QString VersionText(const QString& program) {
    return program + QLatin1Char(' ') + kProductVersion + QLatin1Char('\n') + kProductCopyright +
           QLatin1Char('\n') + kProductLicense + QLatin1Char('\n');
}

} // namespace parcelo
