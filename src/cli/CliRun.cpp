// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliRun.h"

#include "app/CParceloApp.h"
#include "app/DamagedFilterSet.h"
#include "cli/CliOptions.h"
#include "cli/TerminalProgress.h"
#include "export/CountText.h"
#include "export/ExportSession.h"
#include "filters/FilterSetFile.h"
#include "platform/ProductInfo.h"
#include "platform/ShellOpen.h"
#include "store/IStoreNamespace.h"
#include "store/tree/FolderTreeModel.h"
#include "store/tree/TreePath.h"

#include <QCoreApplication>
#include <QHash>
#include <cstdio>

namespace parcelo::cli {

namespace {

// The streams and the store of one command line.
struct CliContext {
    const StoreOpener& openStore;
    const CliStreams& io;

    void printErr(const QString& text) const {
        std::fprintf(io.err, "parcelo-cli: %s\n", text.toLocal8Bit().constData());
    }
    void printOut(const QString& text) const {
        std::fprintf(io.out, "%s\n", text.toLocal8Bit().constData());
    }
};

std::unique_ptr<IStoreNamespace> openStore(const CliContext& cli, const QString& path) {
    QString error;
    std::unique_ptr<IStoreNamespace> store = cli.openStore(path, &error);
    if (store && !Succeeded(store->Initialize())) {
        error = store->LastError().isEmpty() ? QStringLiteral("the store cannot be initialised")
                                             : store->LastError();
        store.reset();
    }
    if (!store)
        cli.printErr(QStringLiteral("cannot open the store '%1': %2").arg(path, error));
    return store;
}

void printEntry(const CliContext& cli, const FolderTreeModel::Entry* entry, int depth) {
    cli.printOut(QString(depth * 2, QLatin1Char(' ')) + FolderTreeModel::EntryPathText(entry));
    for (const auto& child : entry->Children)
        printEntry(cli, child.get(), depth + 1);
}

// One warning for each directory that reading the tree left out; true when there was one.
bool warnSkipped(const CliContext& cli, const IStoreNamespace& store) {
    const std::vector<SkippedFolder> skipped = store.SkippedFolders();
    for (const SkippedFolder& folder : skipped)
        cli.printErr(QStringLiteral("warning: the folder %1 was left out of the store's tree: %2")
                         .arg(folder.path, folder.reason));
    return !skipped.empty();
}

int runTree(const CliContext& cli, const CliOptions& options) {
    auto store = openStore(cli, options.store);
    if (!store)
        return kExitStore;
    // Only an export's status tells of problems; the tree names them.
    warnSkipped(cli, *store);
    FolderTreeModel tree;
    tree.PopulateFolderTree(*store);
    printEntry(cli, tree.Root(), 0);
    return kExitOk;
}

void forEachEntry(FolderTreeModel::Entry* entry,
                  const std::function<void(FolderTreeModel::Entry*)>& fn) {
    fn(entry);
    for (auto& child : entry->Children)
        forEachEntry(child.get(), fn);
}

int runExport(const CliContext& cli, const CliOptions& options) {
    CParceloApp app;
    QString error;
    if (!AppPaths::Resolve(options.appFolder, &app.Paths, &error)) {
        cli.printErr(error);
        return kExitUsage;
    }
    app.ReadStartupSettings();
    app.ReadWindowSettings();
    if (options.filters.isEmpty() && FilterSetFileDamaged(app)) {
        // Read as empty it would let every message through; the file stays as it is.
        cli.printErr(QStringLiteral("cannot use the filter set '%1': %2 (repair or remove it, or "
                                    "give --filters)")
                         .arg(app.Paths.FilterSetFile, app.FilterSetLoad.errorText));
        return kExitUsage;
    }
    if (!options.filters.isEmpty()) {
        // Without its filters an export would take every message, and with Delete on remove them.
        const FilterSetLoadResult loaded = LoadFilterSet(options.filters, app.Filters.items);
        if (!loaded.ok()) {
            cli.printErr(QStringLiteral("cannot use the filter set '%1': %2")
                             .arg(options.filters, loaded.errorText));
            return kExitUsage;
        }
    }
    for (const auto& [key, value] : options.settings) {
        if (!app.OverrideSetting(key, value, &error)) {
            cli.printErr(error);
            return kExitUsage;
        }
    }
    app.FolderPath = options.dest.isEmpty() ? WithTrailingSlash(app.FolderPath) : options.dest;

    auto store = openStore(cli, options.store);
    if (!store)
        return kExitStore;
    const bool skipped = warnSkipped(cli, *store);
    // Counting an mbox's messages reads all of it: worth it only for a progress bar.
    if (!TerminalProgress::Shows(cli.io.err))
        store->LeaveMessageCountsOut();
    FolderTreeModel tree;
    tree.PopulateFolderTree(*store);
    if (options.folders.isEmpty()) {
        forEachEntry(tree.Root(), [](FolderTreeModel::Entry* e) {
            if (e->Record.Type == kTreeMailbox)
                e->Checked = true;
        });
    }
    // Each mailbox by its tree path, the first in tree order: a search of the whole tree for
    // each --folder would grow with their product.
    QHash<QString, std::pair<int, FolderTreeModel::Entry*>> mailboxes;
    if (!options.folders.isEmpty()) {
        int order = 0;
        forEachEntry(tree.Root(), [&](FolderTreeModel::Entry* e) {
            if (e->Record.Type == kTreeMailbox && !mailboxes.contains(e->Record.Path))
                mailboxes.insert(e->Record.Path, {order++, e});
        });
    }
    const auto findMailbox = [&mailboxes](const QString& path) -> FolderTreeModel::Entry* {
        const auto exact = mailboxes.constFind(path);
        const auto canonical = mailboxes.constFind(CanonicalTreePath(path));
        if (exact == mailboxes.cend())
            return canonical == mailboxes.cend() ? nullptr : canonical->second;
        if (canonical == mailboxes.cend() || exact->first <= canonical->first)
            return exact->second;
        return canonical->second;
    };
    for (const QString& path : options.folders) {
        FolderTreeModel::Entry* entry = findMailbox(path);
        if (!entry) {
            cli.printErr(
                QStringLiteral("no mailbox '%1' in the store (see 'parcelo-cli tree')").arg(path));
            return kExitUsage;
        }
        entry->Checked = true;
    }

    ExportCommandResult result;
    {
        // The bar is cleared before anything else is printed on the terminal.
        TerminalProgress progress(cli.io.err);
        ExportSession session(app, *store, progress);
        result = session.OnExportMessages(tree);
    }
    if (!result.ValidationMessage.isEmpty()) {
        cli.printErr(result.ValidationMessage);
        return kExitUsage;
    }
    cli.printOut(CompletedText(result.Exported, result.Skipped));
    if (result.OpenIndex && options.openIndex && !ShellOpen(app.Paths.IndexPage))
        cli.printErr(QStringLiteral("cannot open the index page '%1'").arg(app.Paths.IndexPage));
    // Each problem was one warning line as it happened; the status tells scripts about them.
    return result.Problems.isEmpty() && !skipped ? kExitOk : kExitProblems;
}

} // namespace

int RunCli(const QStringList& arguments, const StoreOpener& openStore, const CliStreams& io) {
    const CliContext cli{openStore, io};
    CliOptions options;
    QString error;
    if (!ParseCliOptions(arguments, &options, &error)) {
        cli.printErr(error);
        std::fputs(UsageText().toLocal8Bit().constData(), io.err);
        return kExitUsage;
    }
    switch (options.command) {
    case CliOptions::Command::Help:
        std::fputs(UsageText().toLocal8Bit().constData(), io.out);
        return kExitOk;
    case CliOptions::Command::Version:
        std::fputs(VersionText(QStringLiteral("parcelo-cli")).toLocal8Bit().constData(), io.out);
        return kExitOk;
    case CliOptions::Command::Tree:
        return runTree(cli, options);
    case CliOptions::Command::Export:
        return runExport(cli, options);
    default:
        return kExitUsage;
    }
}

} // namespace parcelo::cli
