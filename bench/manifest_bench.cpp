// SPDX-License-Identifier: GPL-3.0-or-later
// Look-ups in the list of exported messages as it grows to a million records: the time of one
// look-up of a message that is listed and of one that is not, and the process's resident memory,
// which must not grow with the list (the table stays on disk).
//
//   build/bench/bench/manifest_bench --benchmark_min_time=0.2
//
// The lists are made once in a temporary folder under TMPDIR (about 150 MB for a million).
#include "export/manifest/ExportManifest.h"

#include <QDir>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <chrono>
#include <fstream>
#include <map>
#include <memory>
#include <string>

namespace {

using namespace parcelo;

SourceFingerprint MessageNumber(std::int64_t n) {
    return Sha256::of(std::to_string(n));
}

// Resident memory of this process, in KiB.
long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return 0;
}

// A list of count records, made once per count, opened for the run.
struct Listed {
    QTemporaryDir root;
    ExportManifest manifest;
    double fillSeconds = 0;
    double openSeconds = 0; // a run's start: the list read through and checked
};

Listed& ListOf(std::int64_t count) {
    static std::map<std::int64_t, std::unique_ptr<Listed>> lists;
    auto& listed = lists[count];
    if (listed)
        return *listed;
    listed = std::make_unique<Listed>();
    QString error;
    const auto started = std::chrono::steady_clock::now();
    {
        ExportManifest filling;
        if (!filling.open(listed->root.path(), QDateTime::currentDateTimeUtc(), &error))
            qFatal("%s", qPrintable(error));
        for (std::int64_t n = 0; n < count; ++n) {
            qint64 offset = 0;
            const QString path =
                QStringLiteral("%1/Inbox/Message %2.eml").arg(listed->root.path()).arg(n);
            if (!filling.notePlacing(MessageNumber(n), path, 9000, {1, static_cast<ino_t>(n + 1)},
                                     "<" + QByteArray::number(n) + "@example.com>", &offset,
                                     &error))
                qFatal("%s", qPrintable(error));
        }
        filling.close();
    }
    listed->fillSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    // Opened again as the next run does: read through once, the table taken as it is.
    const auto opening = std::chrono::steady_clock::now();
    if (!listed->manifest.open(listed->root.path(), QDateTime::currentDateTimeUtc(), &error))
        qFatal("%s", qPrintable(error));
    listed->openSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - opening).count();
    return *listed;
}

void FindListed(benchmark::State& state) {
    Listed& listed = ListOf(state.range(0));
    std::int64_t n = 0;
    QString error;
    std::optional<ExportManifest::Found> found;
    for (auto _ : state) {
        const SourceFingerprint fingerprint = MessageNumber((n++ * 7919) % state.range(0));
        if (!listed.manifest.find(fingerprint, &found, &error) || !found)
            state.SkipWithError("a listed message was not found");
    }
    state.counters["fill_s"] = listed.fillSeconds;
    state.counters["open_s"] = listed.openSeconds;
    state.counters["rss_MiB"] = static_cast<double>(ResidentKiB()) / 1024;
}

void FindNew(benchmark::State& state) {
    Listed& listed = ListOf(state.range(0));
    std::int64_t n = state.range(0);
    QString error;
    std::optional<ExportManifest::Found> found;
    for (auto _ : state) {
        if (!listed.manifest.find(MessageNumber(n++), &found, &error) || found)
            state.SkipWithError("a new message was found");
    }
    state.counters["rss_MiB"] = static_cast<double>(ResidentKiB()) / 1024;
}

} // namespace

BENCHMARK(FindListed)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(FindNew)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
