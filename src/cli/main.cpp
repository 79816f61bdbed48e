#include "app/CParceloApp.h"
#include "cli/CliOptions.h"
#include "cli/TerminalProgress.h"
#include "export/CountText.h"
#include "export/ExportSession.h"
#include "filters/FilterSetFile.h"
#include "platform/ShellOpen.h"
#include "store/IStoreNamespace.h"
#include "store/tree/FolderTreeModel.h"

#include <QCoreApplication>
#include <cstdio>
#include <functional>

using namespace parcelo;
using namespace parcelo::cli;

namespace {

constexpr int kExitOk = 0;
constexpr int kExitStore = 1;
constexpr int kExitUsage = 2;

void printErr(const QString& text) {
    std::fprintf(stderr, "parcelo-cli: %s\n", text.toLocal8Bit().constData());
}

void printOut(const QString& text) {
    std::fprintf(stdout, "%s\n", text.toLocal8Bit().constData());
}

std::unique_ptr<IStoreNamespace> openStore(const QString& path) {
    QString error;
    std::unique_ptr<IStoreNamespace> store = CreateStoreNamespace(path, &error);
    if (store && !Succeeded(store->Initialize())) {
        store.reset();
        error = QStringLiteral("the store cannot be initialised");
    }
    if (!store)
        printErr(QStringLiteral("cannot open the store '%1': %2").arg(path, error));
    return store;
}

void printEntry(const FolderTreeModel::Entry* entry, int depth) {
    printOut(QString(depth * 2, QLatin1Char(' ')) + FolderTreeModel::EntryPathText(entry));
    for (const auto& child : entry->Children)
        printEntry(child.get(), depth + 1);
}

int runTree(const CliOptions& options) {
    auto store = openStore(options.store);
    if (!store)
        return kExitStore;
    FolderTreeModel tree;
    tree.PopulateFolderTree(*store);
    printEntry(tree.Root(), 0);
    return kExitOk;
}

void forEachEntry(FolderTreeModel::Entry* entry,
                  const std::function<void(FolderTreeModel::Entry*)>& fn) {
    fn(entry);
    for (auto& child : entry->Children)
        forEachEntry(child.get(), fn);
}

int runExport(const CliOptions& options) {
    CParceloApp app;
    QString error;
    if (!AppPaths::Resolve(options.appFolder, &app.Paths, &error)) {
        printErr(error);
        return kExitUsage;
    }
    app.ReadStartupSettings();
    app.ReadWindowSettings();
    if (!options.filters.isEmpty()) {
        // Without its filters an export would take every message, and with Delete on remove them.
        const FilterSetLoadResult loaded = LoadFilterSet(options.filters, app.Filters.items);
        if (!loaded.ok()) {
            printErr(QStringLiteral("cannot use the filter set '%1': %2")
                         .arg(options.filters, loaded.errorText));
            return kExitUsage;
        }
    }
    for (const auto& [key, value] : options.settings) {
        if (!app.OverrideSetting(key, value, &error)) {
            printErr(error);
            return kExitUsage;
        }
    }
    app.FolderPath = options.dest.isEmpty() ? WithTrailingSlash(app.FolderPath) : options.dest;

    auto store = openStore(options.store);
    if (!store)
        return kExitStore;
    FolderTreeModel tree;
    tree.PopulateFolderTree(*store);
    if (options.folders.isEmpty()) {
        forEachEntry(tree.Root(), [](FolderTreeModel::Entry* e) {
            if (e->Record.Type == kTreeMailbox)
                e->Checked = true;
        });
    }
    for (const QString& path : options.folders) {
        FolderTreeModel::Entry* entry = tree.FindEntry(path, kTreeMailbox);
        if (!entry) {
            printErr(
                QStringLiteral("no mailbox '%1' in the store (see 'parcelo-cli tree')").arg(path));
            return kExitUsage;
        }
        entry->Checked = true;
    }

    ExportCommandResult result;
    {
        // The bar is cleared before anything else is printed on the terminal.
        TerminalProgress progress(stderr);
        ExportSession session(app, *store, progress);
        result = session.OnExportMessages(tree);
    }
    if (!result.ValidationMessage.isEmpty()) {
        printErr(result.ValidationMessage);
        return kExitUsage;
    }
    printOut(QStringLiteral("Task completed. ") + CountText(result.Exported) +
             QStringLiteral(" messages exported."));
    if (result.OpenIndex && options.openIndex && !ShellOpen(app.Paths.IndexPage))
        printErr(QStringLiteral("cannot open the index page '%1'").arg(app.Paths.IndexPage));
    return kExitOk;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication qapp(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("parcelo-cli"));
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();

    CliOptions options;
    QString error;
    if (!ParseCliOptions(arguments, &options, &error)) {
        printErr(error);
        std::fputs(UsageText().toLocal8Bit().constData(), stderr);
        return kExitUsage;
    }
    switch (options.command) {
    case CliOptions::Command::Help:
        std::fputs(UsageText().toLocal8Bit().constData(), stdout);
        return kExitOk;
    case CliOptions::Command::Version:
        printOut(QStringLiteral("parcelo-cli ") + QStringLiteral(PARCELO_VERSION));
        return kExitOk;
    case CliOptions::Command::Tree:
        return runTree(options);
    case CliOptions::Command::Export:
        return runExport(options);
    default:
        return kExitUsage;
    }
}
