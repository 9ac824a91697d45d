#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The benchmarks' build: build-bench/ in Release, only the targets named, with
# djpeg installed for the side-by-side figures. Prints the bench folder.
#   bench/build.sh target ...
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-bench"
bash "$root/tools/setup.sh" libjpeg-turbo-progs >&2
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_BENCHMARKS=ON \
    -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target "$@" -j2 >/dev/null
echo "$build"
