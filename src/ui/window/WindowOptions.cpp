// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window/WindowOptions.h"

#include "platform/AppPaths.h"

namespace parcelo::ui {

QString WindowUsageText() {
    return QStringLiteral(
        "Usage:\n"
        "  parcelo [--store DIR] [--app-folder DIR]\n"
        "  parcelo --help | --version\n"
        "\n"
        "Opens the Parcelo window.\n"
        "  --store DIR         the mail store to open (default: the last one opened, else the\n"
        "                      desktop mail client's Local Folders, ~/Maildir or ~/mail)\n"
        "  --app-folder DIR    where the log, the index page, the filters and the lists live\n");
}

bool ParseWindowOptions(const QStringList& arguments, WindowOptions* options, QString* error) {
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& option = arguments[i];
        if (option == QLatin1String("--help") || option == QLatin1String("-h")) {
            options->command = WindowOptions::Command::Help;
            return true;
        }
        if (option == QLatin1String("--version")) {
            options->command = WindowOptions::Command::Version;
            return true;
        }
        QString* target = option == QLatin1String("--store")        ? &options->store
                          : option == QLatin1String("--app-folder") ? &options->appFolder
                                                                    : nullptr;
        if (!target) {
            *error = QStringLiteral("unknown option '%1'").arg(option);
            return false;
        }
        if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty()) {
            *error = QStringLiteral("%1 needs a folder").arg(option);
            return false;
        }
        *target = AbsoluteCleanPath(arguments[++i]);
    }
    return true;
}

} // namespace parcelo::ui
