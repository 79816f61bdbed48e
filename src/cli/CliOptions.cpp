// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliOptions.h"

#include "platform/AppPaths.h"

namespace parcelo::cli {

QString UsageText() {
    return QStringLiteral(
        "Usage:\n"
        "  parcelo-cli tree   --store DIR\n"
        "  parcelo-cli export --store DIR [--dest DIR] [--folder TREEPATH]... [--filters FILE]\n"
        "                     [--set KEY=VALUE]... [--app-folder DIR] [--open-index]\n"
        "                     [--only-new] [--index-csv]\n"
        "  parcelo-cli --help | --version\n"
        "\n"
        "tree     prints the folder tree of the store, one entry a line.\n"
        "export   exports every message of the given mailboxes (all mailboxes when no --folder\n"
        "         is given) to one message file each under the destination.\n"
        "  --store DIR         the mail store: an mbox tree, a Maildir, or one mbox file\n"
        "  --dest DIR          the destination root for this run (default: the stored one)\n"
        "  --folder TREEPATH   a mailbox by its tree path, e.g. \"Local Folders\\Inbox\"; names "
        "are\n"
        "                      written as 'tree' prints them (a \\ in a name is %5C)\n"
        "  --filters FILE      the filter set to apply instead of Filters.xml\n"
        "  --set KEY=VALUE     overrides a key of the sections Settings and Filters for this run\n"
        "  --app-folder DIR    where the log, the index page and the lists live\n"
        "  --open-index        opens the index page after the run\n"
        "  --only-new          exports only messages not exported to the destination before\n"
        "                      (--set OnlyNew=1)\n"
        "  --index-csv         also appends a row for each message file to Index.csv\n"
        "                      (--set IndexCsv=1)\n");
}

bool ParseCliOptions(const QStringList& arguments, CliOptions* options, QString* error) {
    auto fail = [error](const QString& text) {
        *error = text;
        return false;
    };
    if (arguments.isEmpty())
        return fail(QStringLiteral("missing command"));

    const QString& first = arguments.front();
    if (first == QLatin1String("--help") || first == QLatin1String("-h")) {
        options->command = CliOptions::Command::Help;
        return arguments.size() == 1 || fail(QStringLiteral("--help takes no arguments"));
    }
    if (first == QLatin1String("--version")) {
        options->command = CliOptions::Command::Version;
        return arguments.size() == 1 || fail(QStringLiteral("--version takes no arguments"));
    }
    if (first == QLatin1String("tree"))
        options->command = CliOptions::Command::Tree;
    else if (first == QLatin1String("export"))
        options->command = CliOptions::Command::Export;
    else
        return fail(QStringLiteral("unknown command '%1'").arg(first));

    const bool isExport = options->command == CliOptions::Command::Export;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& option = arguments[i];
        const bool takesValue =
            option == QLatin1String("--store") || option == QLatin1String("--dest") ||
            option == QLatin1String("--folder") || option == QLatin1String("--filters") ||
            option == QLatin1String("--set") || option == QLatin1String("--app-folder");
        if (option == QLatin1String("--open-index") && isExport) {
            options->openIndex = true;
            continue;
        }
        // Each stands for its setting, in its place among the --set options.
        if (option == QLatin1String("--only-new") && isExport) {
            options->settings.emplace_back(QStringLiteral("OnlyNew"), QStringLiteral("1"));
            continue;
        }
        if (option == QLatin1String("--index-csv") && isExport) {
            options->settings.emplace_back(QStringLiteral("IndexCsv"), QStringLiteral("1"));
            continue;
        }
        if (!takesValue || (!isExport && option != QLatin1String("--store")))
            return fail(QStringLiteral("unknown option '%1' for %2").arg(option, first));
        if (i + 1 >= arguments.size())
            return fail(QStringLiteral("%1 needs a value").arg(option));
        const QString value = arguments[++i];
        if (option == QLatin1String("--store")) {
            options->store = AbsoluteCleanPath(value);
        } else if (option == QLatin1String("--dest")) {
            options->dest = WithTrailingSlash(AbsoluteCleanPath(value));
        } else if (option == QLatin1String("--folder")) {
            if (!options->folders.contains(value))
                options->folders.append(value);
        } else if (option == QLatin1String("--filters")) {
            options->filters = AbsoluteCleanPath(value);
        } else if (option == QLatin1String("--app-folder")) {
            options->appFolder = AbsoluteCleanPath(value);
        } else {
            const qsizetype eq = value.indexOf(QLatin1Char('='));
            if (eq <= 0)
                return fail(QStringLiteral("--set needs KEY=VALUE, got '%1'").arg(value));
            options->settings.emplace_back(value.left(eq), value.mid(eq + 1));
        }
    }
    if (options->store.isEmpty())
        return fail(QStringLiteral("%1 needs --store DIR").arg(first));
    return true;
}

} // namespace parcelo::cli
