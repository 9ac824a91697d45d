#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Types a whole two-picture measurement on the sample photograph into Helidor
# on the X display in force (run it under xvfb-run), as a user would: Return
# at every question, then each circle moved onto the true Sun or Venus image
# with the cursor and page keys and confirmed. The result files land in the
# current folder. With a folder for screenshots, keeps the adjustment, the
# first planet, the construction and the results page there.
#   tools/type-measurement.sh PROGRAM TRUTH-FILE [SCREENSHOT-FOLDER]
set -euo pipefail
program="$1"
truth="$2"
shots="${3:-}"

# The true circles, rounded to whole pixels as a careful user fits them, and
# where the program starts the first planet circle after such Suns.
read_circle() { awk -v name="$1" '$1 == name { printf "%.0f %.0f %.0f\n", $2, $3, $4 }' "$truth"; }
read -r s1x s1y s1r < <(read_circle sun1)
read -r s2x s2y s2r < <(read_circle sun2)
read -r v1x v1y v1r < <(read_circle venus1)
read -r v2x v2y v2r < <(read_circle venus2)
read -r p1x p1y p1r < <(awk '$2 == "planetstart" { print $3, $4, $5 }' "$truth")

shot() { # name: the whole screen, in 64 colours to keep it small
    [ -n "$shots" ] || return 0
    import -window root "$shots/$1"
    convert "$shots/$1" -colors 64 PNG8:"$shots/$1"
}
press() { # key, count
    [ "$2" -gt 0 ] && xdotool key --delay 3 --repeat "$2" "$1"
    sleep 0.3
}
move() { # from x y r to x y r
    local dx=$(($4 - $1)) dy=$(($5 - $2)) dr=$(($6 - $3))
    if [ $dx -ge 0 ]; then press Right $dx; else press Left $((-dx)); fi
    if [ $dy -ge 0 ]; then press Down $dy; else press Up $((-dy)); fi
    if [ $dr -ge 0 ]; then press Prior $dr; else press Next $((-dr)); fi
}

"$program" &
pid=$!
trap 'kill "$pid" 2>/dev/null || true' EXIT
sleep 2
for question in language result-file picture time declination count difference x y radius; do
    xdotool key Return
    sleep 0.4
done
sleep 0.5
shot 1-adjustment.png
move 250 500 200 "$s1x" "$s1y" "$s1r" # Sun 1 from the start circle
press Return 1
move "$s1x" "$s1y" "$s1r" "$s2x" "$s2y" "$s2r" # Sun 2 starts on Sun 1
press Return 1
move "$p1x" "$p1y" "$p1r" "$v1x" "$v1y" "$v1r" # Venus 1
shot 2-venus1.png
press Return 1
move $((v1x + s2x - s1x)) $((v1y + s2y - s1y)) "$v1r" "$v2x" "$v2y" "$v2r" # Venus 2
xdotool key Return
sleep 1
shot 3-construction.png
sleep 2.5 # the construction stays two seconds, then the results
shot 4-results.png
