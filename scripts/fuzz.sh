#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds every libFuzzer target of fuzz/ with clang and runs each for a bounded time.
# Usage: scripts/fuzz.sh [seconds per target, default 60] [target name ...]
# Each target keeps its corpus in build/fuzz/corpus/<target>; crashes go to build/fuzz/artifacts.
# PARCELO_FUZZ_SEEDS: folders of sample inputs read as extra seeds (inputs cut at 64 KiB).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-60}"
shift || true
build="$root/build/fuzz"
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g"

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DPARCELO_BUILD_FUZZERS=ON -DPARCELO_BUILD_TESTS=OFF \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for src in "$root"/fuzz/*.cpp; do
        targets+=("$(basename "$src" .cpp)")
    done
fi
cmake --build "$build" --target "${targets[@]}" -j 2

mkdir -p "$build/artifacts"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
failed=()
for target in "${targets[@]}"; do
    corpus="$build/corpus/$target"
    mkdir -p "$corpus"
    echo "== $target: ${seconds}s"
    # shellcheck disable=SC2086
    if ! "$build/fuzz/$target" "$corpus" ${PARCELO_FUZZ_SEEDS:-} -max_len=65536 -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
            -artifact_prefix="$build/artifacts/$target-" -print_final_stats=1 2>"$build/$target.log"; then
        failed+=("$target")
        tail -n 40 "$build/$target.log"
    else
        grep -E "^stat::number_of_executed_units|^Done" "$build/$target.log" || true
    fi
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "FAILED: ${failed[*]} (see $build/artifacts and $build/<target>.log)"
    exit 1
fi
echo "all ${#targets[@]} targets ran ${seconds}s each without a finding"
