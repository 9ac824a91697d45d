#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
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
starts="$(for _ in $(seq "$runs"); do "$bench" spawn djpeg -version; done)"
start_ms="$(field wall <<<"$starts" | best)"
start_cpu="$(awk '{ print $4 }' <<<"$starts" | best)"
ours=() theirs=() ratios=() cpu_ratios=() peaks=() beyond=()
for _ in $(seq "$runs"); do
    line="$("$bench" plane "$file")"
    first="$(field first <<<"$line")"
    spawned="$("$bench" spawn djpeg -outfile /dev/null "$file")"
    djpeg="$(field wall <<<"$spawned")"
    cpu_ratios+=("$(awk -v a="$(field cpu <<<"$line")" -v b="$(field cpu <<<"$spawned")" \
        -v s="$start_cpu" 'BEGIN { print a / (b - s) }')")
    ours+=("$first")
    theirs+=("$djpeg")
    peaks+=("$(field bytes_per_pixel <<<"$line")")
    beyond+=("$(field beyond_kib <<<"$line")")
    ratios+=("$(awk -v a="$first" -v b="$djpeg" -v s="$start_ms" 'BEGIN { print a / (b - s) }')")
done
echo
echo "== Grey plane of a 6000 x 4000 JPEG against djpeg at full size, $runs pairs"
echo "   (ms, best of the runs; djpeg net of its ${start_ms} ms process start; ratio: median"
echo "   of plane / djpeg over the pairs, target <= 1.5; peak memory over the process's"
echo "   memory after a small warm-up decoding, median, target <= 2 bytes a pixel; beyond:"
echo "   the part over the plane's 2 bytes, mostly libjpeg's working memory)"
printf "djpeg %.1f   plane %.1f   ratio %.2f (%s to %s)   peak %.4f bytes a pixel (beyond %s KiB)\n" \
    "$(printf '%s\n' "${theirs[@]}" | best | awk -v s="$start_ms" '{ print $1 - s }')" \
    "$(printf '%s\n' "${ours[@]}" | best)" "$(printf '%s\n' "${ratios[@]}" | median)" \
    "$(printf '%.2f\n' "${ratios[@]}" | sort -g | head -n 1)" \
    "$(printf '%.2f\n' "${ratios[@]}" | sort -g | tail -n 1)" \
    "$(printf '%s\n' "${peaks[@]}" | median)" "$(printf '%s\n' "${beyond[@]}" | median)"
# Processor time is far less disturbed by other work on the machine than wall time.
printf "processor time: ratio %.2f (%s to %s)\n" "$(printf '%s\n' "${cpu_ratios[@]}" | median)" \
    "$(printf '%.2f\n' "${cpu_ratios[@]}" | sort -g | head -n 1)" \
    "$(printf '%.2f\n' "${cpu_ratios[@]}" | sort -g | tail -n 1)"

photos="$root/../shared/photos"
echo
if [ -d "$photos" ]; then
    echo "== Real photographs"
    "$bench" photos "$photos"
else
    echo "($photos is absent: no real photographs)"
fi
