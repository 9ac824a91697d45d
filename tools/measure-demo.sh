#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A whole two-picture measurement on the sample photograph, typed into the
# real Helidor window on a virtual X server (xvfb-run, xdotool) as a user
# would. Keeps screenshots of the adjustment, the construction and the
# results page, and the result files.
#   tools/measure-demo.sh [output folder, default docs/screenshots]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="$(realpath -m "${1:-$root/docs/screenshots}")"

bash "$root/tools/setup.sh" xdotool imagemagick
bash "$root/tools/build.sh" helidor helidor_samples
mkdir -p "$out"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
xvfb-run -a -s "-screen 0 1280x960x24" bash "$root/tools/type-measurement.sh" \
    "$root/build/helidor/helidor" "$root/build/helidor/Lurni1000UT.truth.txt" "$out"
cp Test.txt Test2.txt "$out/"
echo "Screenshots and result files in $out"
