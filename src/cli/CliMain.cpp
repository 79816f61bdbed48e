// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliRun.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdlib>

int main(int argc, char** argv) {
    // Without TZ the C library looks at /etc/localtime again for every local date it makes;
    // naming the same zone once spares an export a file-system call for each message.
    if (!std::getenv("TZ") && QFile::exists(QStringLiteral("/etc/localtime")))
        ::setenv("TZ", ":/etc/localtime", 0);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("parcelo-cli"));
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    return parcelo::cli::RunCli(arguments);
}
