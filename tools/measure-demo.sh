#!/usr/bin/env bash
# A whole two-picture measurement on the sample photograph, typed into the
# real Helidor window on a virtual X server (xvfb-run, xdotool) as a user
# would: Return at every question, the circles moved onto the Sun and Venus
# images with the cursor and page keys. Keeps screenshots of the adjustment,
# the construction and the results page, and the result files.
#   tools/measure-demo.sh [output folder, default docs/screenshots]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="$(realpath -m "${1:-$root/docs/screenshots}")"

if [ -z "${DISPLAY_READY:-}" ]; then
    bash "$root/tools/setup.sh" xdotool imagemagick
    cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$root/build" -j"$(nproc)" --target helidor helidor_samples >/dev/null
    mkdir -p "$out"
    exec env DISPLAY_READY=1 xvfb-run -a -s "-screen 0 1280x960x24" bash "$0" "$out"
fi

program="$root/build/helidor/helidor"
truth="$root/build/helidor/Lurni1000UT.truth.txt"
work="$(mktemp -d)"
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT

# The true circles, rounded to whole pixels as a careful user fits them.
read_circle() { awk -v name="$1" '$1 == name { printf "%.0f %.0f %.0f\n", $2, $3, $4 }' "$truth"; }
read -r s1x s1y s1r < <(read_circle sun1)
read -r s2x s2y s2r < <(read_circle sun2)
read -r v1x v1y v1r < <(read_circle venus1)
read -r v2x v2y v2r < <(read_circle venus2)
# As the program computes it: nearest(r / 15.7 x 0.96283...) + 2.
planet_start_radius() { awk -v r="$1" 'BEGIN { print sprintf("%.0f", r / 15.7 * 0.9628333333333333) + 2 }'; }

shot() { # file: the whole screen, in 64 colours to keep it small
    import -window root "$1"
    convert "$1" -colors 64 PNG8:"$1"
}
press() { # key, count
    local key=$1 count=$2
    [ "$count" -gt 0 ] && xdotool key --delay 3 --repeat "$count" "$key"
    sleep 0.3
}
move() { # from x y r to x y r
    local dx=$(($4 - $1)) dy=$(($5 - $2)) dr=$(($6 - $3))
    if [ $dx -ge 0 ]; then press Right $dx; else press Left $((-dx)); fi
    if [ $dy -ge 0 ]; then press Down $dy; else press Up $((-dy)); fi
    if [ $dr -ge 0 ]; then press Prior $dr; else press Next $((-dr)); fi
}

cd "$work"
"$program" &
pid=$!
sleep 2
for question in language result-file picture time declination count difference x y radius; do
    xdotool key Return
    sleep 0.4
done
sleep 0.5
shot "$out/1-adjustment.png"

move 250 500 200 "$s1x" "$s1y" "$s1r" # Sun 1 from the start circle
press Return 1
move "$s1x" "$s1y" "$s1r" "$s2x" "$s2y" "$s2r" # Sun 2 starts on Sun 1
press Return 1
move "$s1x" "$s1y" "$(planet_start_radius "$s2r")" "$v1x" "$v1y" "$v1r" # Venus 1
shot "$out/2-venus1.png"
press Return 1
move $((v1x + s2x - s1x)) $((v1y + s2y - s1y)) "$v1r" "$v2x" "$v2y" "$v2r" # Venus 2
xdotool key Return
sleep 1
shot "$out/3-construction.png"
sleep 2.5
shot "$out/4-results.png"
cp Test.txt Test2.txt "$out/"
echo "Screenshots and result files in $out"
