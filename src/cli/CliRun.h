// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/IStoreNamespace.h"

#include <QString>
#include <QStringList>
#include <cstdio>
#include <functional>
#include <memory>

namespace parcelo::cli {

// Exit statuses of parcelo-cli.
inline constexpr int kExitOk = 0;       // every checked folder read, every message handled as set
inline constexpr int kExitStore = 1;    // the store cannot be opened
inline constexpr int kExitUsage = 2;    // bad arguments, unusable filter set, failed validation
inline constexpr int kExitProblems = 3; // finished, but something could not be read, written
                                        // or changed (one warning line each)

// Opens the store given by --store; null with the reason in error.
using StoreOpener =
    std::function<std::unique_ptr<IStoreNamespace>(const QString& path, QString* error)>;

struct CliStreams {
    std::FILE* out = stdout;
    std::FILE* err = stderr;
};

// Runs one command line (the arguments after the program name) and returns its exit status.
int RunCli(const QStringList& arguments, const StoreOpener& openStore = CreateStoreNamespace,
           const CliStreams& io = {});

} // namespace parcelo::cli
