#!/usr/bin/env bash
# A whole two-picture measurement typed into an installed Helidor on the X
# display in force (run it under xvfb-run): Return at every question, so the
# default picture must be found in the installed data folder; the circles
# moved onto the true Sun and Venus images with the cursor and page keys.
# The working folder is the current one; the result files land there.
#   measure.sh <prefix>     (the tree holding bin/helidor and share/helidor)
set -euo pipefail
prefix="$1"
program="$prefix/bin/helidor"
truth="$prefix/share/helidor/Lurni1000UT.truth.txt"

# The true circles, rounded to whole pixels as a careful user fits them.
read_circle() { awk -v name="$1" '$1 == name { printf "%.0f %.0f %.0f\n", $2, $3, $4 }' "$truth"; }
read -r s1x s1y s1r < <(read_circle sun1)
read -r s2x s2y s2r < <(read_circle sun2)
read -r v1x v1y v1r < <(read_circle venus1)
read -r v2x v2y v2r < <(read_circle venus2)
# As the program starts the planet's circle: nearest(r / 15.7 x 0.96283...) + 2.
planet_start_radius() { awk -v r="$1" 'BEGIN { print sprintf("%.0f", r / 15.7 * 0.9628333333333333) + 2 }'; }

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
move 250 500 200 "$s1x" "$s1y" "$s1r" # Sun 1 from the start circle
press Return 1
move "$s1x" "$s1y" "$s1r" "$s2x" "$s2y" "$s2r" # Sun 2 starts on Sun 1
press Return 1
move "$s1x" "$s1y" "$(planet_start_radius "$s2r")" "$v1x" "$v1y" "$v1r" # Venus 1
press Return 1
move $((v1x + s2x - s1x)) $((v1y + s2y - s1y)) "$v1r" "$v2x" "$v2y" "$v2r" # Venus 2
xdotool key Return
sleep 3.5 # the construction for two seconds, then the results
