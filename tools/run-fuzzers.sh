#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libFuzzer targets in fuzz-build/ (assertions on) and runs each for a
# bounded time, one after the other.
#   tools/run-fuzzers.sh [seconds per target, default 60] [target ...]
# Crash, hang and sanitizer inputs go to fuzz-build/artifacts/; the exit status
# is non-zero when any target found something.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/fuzz-build"
seconds=${1:-60}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=(fuzz_text_to_real fuzz_parse_angle fuzz_quenmark_session fuzz_series_file fuzz_bitmap_reader fuzz_jpeg_loader)
fi
if ! [[ $seconds =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: $0 [seconds per target] [target ...]" >&2
    exit 2
fi

bash "$root/tools/setup.sh" clang libclang-rt-14-dev ninja-build || exit 2
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" -DFUZZ=ON -DWITH_CONSOLE=ON -DBUILD_TESTING=OFF >/dev/null || exit 2
cmake --build "$build" --parallel 2 --target "${targets[@]}" || exit 2

artifacts="$build/artifacts"
mkdir -p "$artifacts"
found=0
for target in "${targets[@]}"; do
    # Seeds stay untouched; what the fuzzer adds goes to its own folder.
    work="$build/corpus/$target"
    mkdir -p "$work"
    log="$build/$target.log"
    # The JPEG loader promises at most 1 GB whatever a file claims: one
    # allocation above that, or the whole process above it with the
    # sanitizers' own share, is a find.
    # Each of its inputs is five decodings (four sizes and the grey plane),
    # whose work the decoder bounds by counts: a seed that fills the 128 MB of
    # coefficients a 5 kB file may claim takes 6 s of processor time under the
    # sanitizers, more than 10 s of wall clock on a busy machine.
    limits=(-rss_limit_mb=2048 -timeout=10)
    if [ "$target" = fuzz_jpeg_loader ]; then
        limits=(-rss_limit_mb=1536 -malloc_limit_mb=1000 -timeout=30)
    fi
    echo "== $target: ${seconds}s"
    (cd "$build" && "$build/tools/fuzz/$target" -max_total_time="$seconds" "${limits[@]}" \
        -workers=1 -print_final_stats=1 -artifact_prefix="$artifacts/$target-" \
        "$work" "$root/tools/fuzz/corpus/$target") >"$log" 2>&1
    status=$?
    executions=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -n 1)
    echo "   executions: ${executions:-unknown}, exit status $status, log $log"
    if [ $status -ne 0 ]; then
        found=1
        grep -E '^(==[0-9]+==ERROR|SUMMARY|fuzz_|.*runtime error)' "$log" | head -n 5 | sed 's/^/   /'
        grep -o 'Test unit written to .*' "$log" | sed 's/^/   /'
    fi
done
exit $found
