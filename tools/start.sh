#!/usr/bin/env bash
# Sets up the machine, builds the programs and starts the main program with
# its built-in defaults in the current folder.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/tools/setup.sh"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" -j"$(nproc)" --target quenmark
exec "$root/build/quenmark/quenmark"
