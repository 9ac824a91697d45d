#!/usr/bin/env bash
# From photographs to a solar parallax: builds bench_parallax and quenmark in
# Release, generates two twice-exposed JPEG photographs of the 2012 transit of
# Venus (01:29 UT, one from 50 N 135 E, one from 30 S 153 E, Sun radius 900
# px), fits every circle with the assist, and prints the measured parallax
# against the one from the true positions (goal: within 1 %). Then types the
# measured x', y' into quenmark as a user would and shows its results.
# Usage: bench/parallax.sh [folder to keep the photographs in]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(bash "$root/bench/build.sh" bench_parallax quenmark)"

if [ $# -ge 1 ]; then
    photos="$1"
    mkdir -p "$photos"
else
    photos="$(mktemp -d)"
    trap 'rm -rf "$photos"' EXIT
fi

status=0
report="$("$build/bench/bench_parallax" "$photos")" || status=$?
echo "$report"
read -r x1 y1 x2 y2 < <(awk '/^Quenmark.s input:/ { print $4, $6, $8, $10 }' <<<"$report")
[ -n "${y2:-}" ] || exit 1

echo
echo "== Typed into quenmark --date 2012-06-06 --time 01.29 (the Sun's data as it proposes them)"
printf '%s\n' e v '' '' '' '' '' "50g0'0" "135g0'0" "-30g0'0" "153g0'0" 01.29 \
    "$x1" "$y1" "$x2" "$y2" |
    "$build/quenmark/quenmark" --date 2012-06-06 --time 01.29 |
    awk '/^Results:/ { on = 1 } on && NF { print } on && /piS/ { exit }'
exit "$status"
