#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# From photographs to a solar parallax: builds bench_parallax, helidor and
# quenmark in Release and generates two twice-exposed JPEG photographs of the
# 2012 transit of Venus (01:29 UT, one from 50 N 135 E, one from 30 S 153 E,
# Sun radius 900 px).
#  1. The reference: bench_parallax fits every circle with the assist
#     directly and prints the parallax against the one from the true
#     positions.
#  2. Through the window: bench/parallax-window.sh measures the same
#     photographs in the real Helidor on a virtual X server ("a" on seeds a
#     few pixels off, Return), reads x', y' from the audit files and types
#     them into quenmark.
# Goal of both: within 1 %. Usage: bench/parallax.sh [folder to keep the
# photographs, truth, result and audit files in]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(bash "$root/bench/build.sh" bench_parallax helidor quenmark)"

if [ $# -ge 1 ]; then
    photos="$1"
    mkdir -p "$photos"
else
    photos="$(mktemp -d)"
    trap 'rm -rf "$photos"' EXIT
fi

status=0
echo "== The reference: the assist called directly on the photographs"
"$build/bench/bench_parallax" "$photos" || status=$?

echo
echo "== Through Helidor's window (size 4, \"a\", Return) and its audit files into quenmark"
xvfb-run -a -s "-screen 0 1920x1080x24" bash "$root/bench/parallax-window.sh" \
    "$build/helidor/helidor" "$build/quenmark/quenmark" "$build/bench/bench_parallax" \
    "$photos" || status=$?
exit "$status"
