// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CParceloApp.h"
#include "app/WindowPlacement.h"
#include "platform/DefaultStoreFolder.h"
#include "platform/ProductInfo.h"
#include "ui/instance/SingleInstance.h"
#include "app/DamagedFilterSet.h"
#include "app/feedback/SupportMessages.h"
#include "ui/settings/FormSettings.h"
#include "ui/window/FormParcelo.h"
#include "ui/window/WindowOptions.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QMessageBox>
#include <cstdio>

using namespace parcelo;
using namespace parcelo::ui;

namespace {

QStringList rawArguments(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

// --store, else the stored "Store" Path, else the desktop client's or the usual Maildir.
QString storeFolder(const WindowOptions& options) {
    if (!options.store.isEmpty())
        return options.store;
    const QString stored = ReadStorePath();
    return stored.isEmpty() ? DefaultStoreFolder(QDir::homePath()) : stored;
}

} // namespace

int main(int argc, char** argv) {
    // Help, version and usage errors need no display: answer them before the window system.
    WindowOptions options;
    QString error;
    if (!ParseWindowOptions(rawArguments(argc, argv), &options, &error) &&
        !error.startsWith(QLatin1String("unknown option '-"))) {
        std::fprintf(stderr, "parcelo: %s\n%s", qPrintable(error), qPrintable(WindowUsageText()));
        return 2;
    }
    if (options.command == WindowOptions::Command::Help) {
        std::fputs(qPrintable(WindowUsageText()), stdout);
        return 0;
    }
    if (options.command == WindowOptions::Command::Version) {
        std::fputs(qPrintable(VersionText(QStringLiteral("parcelo"))), stdout);
        return 0;
    }

    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("parcelo"));
    QApplication::setApplicationVersion(QStringLiteral(PARCELO_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("parcelo"));
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    options = {};
    if (!ParseWindowOptions(arguments, &options, &error)) {
        std::fprintf(stderr, "parcelo: %s\n%s", qPrintable(error), qPrintable(WindowUsageText()));
        return 2;
    }

    // A second copy only brings the first one forward; it touches no file.
    SingleInstance instance;
    if (!instance.TryAcquire())
        return 0;

    CParceloApp app;
    if (!AppPaths::Resolve(options.appFolder, &app.Paths, &error)) {
        QMessageBox::critical(nullptr, app.ProductName, error);
        return 1;
    }
    app.ReadStartupSettings();
    WriteSessionVersion(app.ProductVersion);
    // A damaged filter-set file is kept aside, never overwritten by the empty set at exit.
    const QString filterSetWarning = SetAsideDamagedFilterSet(app);
    if (!filterSetWarning.isEmpty())
        QMessageBox::warning(nullptr, app.ProductName, filterSetWarning);

    int result = 0;
    {
        FormParcelo window(app, storeFolder(options));
        QObject::connect(&instance, &SingleInstance::ActivateRequested, &window,
                         &FormParcelo::BringToFront);
        QObject::connect(&window, &FormParcelo::SettingsRequested, &window,
                         [&](int category) { FormSettings::Open(app, category, &window); });
        QObject::connect(&window, &FormParcelo::FeedbackRequested, &window, [](bool bugReport) {
            // The mail program shows the prepared mail; whether one started is not reported.
            const UrlOpener opener = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
            if (bugReport)
                SendBugReportMail(opener);
            else
                SendFeedbackMail(opener);
        });
        window.show();
        result = QApplication::exec();
    }
    if (!app.ExitInstance())
        std::fprintf(stderr, "parcelo: the filter set could not be saved to '%s'\n",
                     qPrintable(app.Paths.FilterSetFile));
    return result;
}
