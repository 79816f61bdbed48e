// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a mail folder's index (NAME.msf) as an mbox folder does: the file named by
// PARCELO_FOLDER_INDEX, e.g. one written by bench/make-folder-index.py. Run it under
// /usr/bin/time -v with --benchmark_min_time=0 for the peak memory of one read.
#include "store/mork/MailFolderIndex.h"

#include <benchmark/benchmark.h>
#include <cstdlib>

namespace {

using namespace parcelo;

void BM_ReadMailFolderIndex(benchmark::State& state) {
    const char* path = std::getenv("PARCELO_FOLDER_INDEX");
    if (!path) {
        state.SkipWithError("PARCELO_FOLDER_INDEX names no index file");
        return;
    }
    size_t entries = 0;
    for (auto _ : state) {
        MailFolderIndex index;
        QString error;
        if (!ReadMailFolderIndex(QString::fromLocal8Bit(path), &index, &error)) {
            state.SkipWithError(error.toLocal8Bit().constData());
            return;
        }
        entries = index.entries().size();
        benchmark::DoNotOptimize(index.findAt(0));
    }
    state.counters["entries"] = double(entries);
}
BENCHMARK(BM_ReadMailFolderIndex)->Unit(benchmark::kMillisecond);

} // namespace
