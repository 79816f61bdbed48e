// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace parcelo::ui {

// The ids of the manual's sections that the window and the settings pages open.
namespace ManualSection {
inline constexpr char kWindow[] = "window";
inline constexpr char kSettings[] = "settings";
inline constexpr char kNaming[] = "naming";
inline constexpr char kHeaders[] = "headers";
inline constexpr char kAttachments[] = "attachments";
inline constexpr char kMisc[] = "misc";
} // namespace ManualSection

// The file:// address of a section of a manual file.
QString ManualSectionUrl(const QString& file, const QString& section);

// Opens the first of the files that exists at the section, through the shell's opener. When
// none exists or the opener cannot start, a message box says so and where the manual was
// looked for. False when nothing was opened.
bool OpenUserManual(QWidget* parent, const QStringList& files, const QString& section,
                    const std::function<bool(const QString&)>& shellOpen);

} // namespace parcelo::ui
