#!/usr/bin/env bash
# Builds the assisted fit's benchmark in Release and prints: the fit on
# generated scenes with known circles (one table per case), one assist on a
# 6000 x 4000 plane, the grey plane of a 6000 x 4000 JPEG against djpeg at
# full size on the same file (side by side in one run) and its peak memory,
# and the fits on the real photographs where ../shared/photos exists.
# Usage: bench/limbfit.sh [scenes per case, 300] [decoding pairs, 9]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
per_case="${1:-300}"
runs="${2:-9}"
build="$(bash "$root/bench/build.sh" bench_limbfit)"
bench="$build/bench/bench_limbfit"

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
best() { sort -g | head -n 1; }
field() { awk -v key="$1" '{ for (i = 1; i < NF; i++) if ($i == key) { print $(i + 1); exit } }'; }

echo "== Generated scenes (goals: Sun centre p95 <= 0.05 px, planet <= 0.15 px,"
echo "   silent failures < 0.5 %, pull 0.9 to 1.1)"
"$bench" scenes "$per_case"

echo
echo "== One assist on a 6000 x 4000 plane (median of 20)"
"$bench" time

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
file="$work/sun-6000x4000.jpg"
"$bench" make "$file"
start_ms="$(for _ in $(seq "$runs"); do "$bench" spawn djpeg -version | field wall; done | best)"
ours=() theirs=() ratios=() peaks=()
for _ in $(seq "$runs"); do
    line="$("$bench" plane "$file")"
    first="$(field first <<<"$line")"
    djpeg="$("$bench" spawn djpeg -outfile /dev/null "$file" | field wall)"
    ours+=("$first")
    theirs+=("$djpeg")
    peaks+=("$(field bytes_per_pixel <<<"$line")")
    ratios+=("$(awk -v a="$first" -v b="$djpeg" -v s="$start_ms" 'BEGIN { print a / (b - s) }')")
done
echo
echo "== Grey plane of a 6000 x 4000 JPEG against djpeg at full size, $runs pairs"
echo "   (ms, best of the runs; djpeg net of its ${start_ms} ms process start; ratio: median"
echo "   of plane / djpeg over the pairs, target <= 1.5; peak memory, target <= 2 bytes a pixel)"
printf "djpeg %.1f   plane %.1f   ratio %.2f   peak %.3f bytes a pixel\n" \
    "$(printf '%s\n' "${theirs[@]}" | best | awk -v s="$start_ms" '{ print $1 - s }')" \
    "$(printf '%s\n' "${ours[@]}" | best)" "$(printf '%s\n' "${ratios[@]}" | median)" \
    "$(printf '%s\n' "${peaks[@]}" | median)"

photos="$root/../shared/photos"
echo
if [ -d "$photos" ]; then
    echo "== Real photographs"
    "$bench" photos "$photos"
else
    echo "($photos is absent: no real photographs)"
fi
