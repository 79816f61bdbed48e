#pragma once

#include <QString>

namespace parcelo {

// The program's version information; names the settings file and captions message boxes.
inline const QString kProductName = QStringLiteral("Parcelo");
inline const QString kProductVersion = QStringLiteral(PARCELO_VERSION);
inline const QString kProductDescription =
    QStringLiteral("Exports e-mail from a local mail store to message files");
// Opened by the Help menu's "Visit Home Page".
inline const QString kProductHomePage = QStringLiteral("https://parcelo.example.org/");
inline const QString kProductCopyright =
    QStringLiteral("Copyright (C) 2026 the Parcelo developers");

} // namespace parcelo
