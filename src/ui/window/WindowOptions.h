// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

namespace parcelo::ui {

// The window's command line: parcelo [--store DIR] [--app-folder DIR] | --help | --version.
struct WindowOptions {
    enum class Command { Run, Help, Version } command = Command::Run;
    QString store;     // absolute and cleaned, or empty
    QString appFolder; // absolute and cleaned, or empty
};

// False with a reason for a usage error.
bool ParseWindowOptions(const QStringList& arguments, WindowOptions* options, QString* error);
QString WindowUsageText();

} // namespace parcelo::ui
