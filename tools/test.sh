#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Sets up the machine, builds everything in Release with warnings as errors and runs the
# whole test suite. With --sanitize: the same in a separate build under
# AddressSanitizer and UndefinedBehaviorSanitizer, in Debug.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/tools/setup.sh"

build="$root/build"
options=(-DWITH_CONSOLE=ON -DWARNINGS_AS_ERRORS=ON -DBUILD_BENCHMARKS=ON -DCMAKE_BUILD_TYPE=Release)
if [ "${1:-}" = "--sanitize" ]; then
    build="$root/build-sanitize"
    options=(-DWITH_CONSOLE=ON -DWARNINGS_AS_ERRORS=ON -DBUILD_BENCHMARKS=ON -DCMAKE_BUILD_TYPE=Debug -DSANITIZE=ON)
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp"
fi

cmake -S "$root" -B "$build" "${options[@]}"
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
