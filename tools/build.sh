#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The build of the programs that a user starts: build/ in Release,
# only the targets named (all when none is named).
#   tools/build.sh [target ...]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
targets=()
for target in "$@"; do
    targets+=(--target "$target")
done
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build" -j"$(nproc)" "${targets[@]}" >/dev/null
