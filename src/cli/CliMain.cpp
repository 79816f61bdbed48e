#include "cli/CliRun.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("parcelo-cli"));
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    return parcelo::cli::RunCli(arguments);
}
