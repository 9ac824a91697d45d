#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# From photographs to a parallax through the real window: generates the two
# photographs of the 2012 transit of Venus (bench_parallax --photographs),
# measures each in Helidor on the X display in force as a user would (the
# two-picture evaluation at JPEG size 4; every circle moved by keys onto a
# seed a few pixels off the truth, snapped with "a" and confirmed with
# Return), reads x', y' of each site from the result1 line of its audit file
# and types them into Quenmark. Exit status 0 when every circle was assisted,
# each site's x', y' lie within 0.001 solar radii of the truth and the
# parallax is within 1 % of the one from the true positions.
#   bench/parallax-window.sh HELIDOR QUENMARK BENCH_PARALLAX FOLDER [SCREENSHOT]
# Run it under xvfb-run -a -s "-screen 0 1920x1080x24"; the photographs, the
# truth, result and audit files stay in FOLDER. With SCREENSHOT, the screen
# after the first assist (edge points drawn, not yet confirmed) is kept there.
set -euo pipefail
helidor="$(realpath "$1")"
quenmark="$(realpath "$2")"
bench="$(realpath "$3")"
mkdir -p "$4"
folder="$(cd "$4" && pwd)"
screenshot="${5:-}"
size=4 # the photograph at 800 x 550: all of it on the screen, fitted at full size
goal=1.0 # per cent

fail() {
    echo "parallax-window: $*" >&2
    exit 1
}

"$bench" --photographs "$folder" "$size" >/dev/null || fail "cannot generate the photographs"

running() { kill -0 "$helidor_pid" 2>/dev/null || fail "Helidor has ended by surprise"; }

# Each question opens the dialog anew. Keys typed in the moment between two
# questions would reach the main window instead: a short pause after Return
# lets the next question open first. Return alone keeps the default.
answer() {
    running
    timeout 20 xdotool search --sync --onlyvisible --name '^Eingabe$' >/dev/null ||
        fail "no question on the screen"
    [ -z "$1" ] || xdotool type --delay 2 -- "$1"
    xdotool key Return
    sleep 0.15
}

# Keys go into the program's key buffer (255 codes) and are taken one a
# tick. "s" saves the screen as Mond.bmp when its turn comes: once the file
# is there, every key sent before it has been acted on. No circle here takes
# more than about 150 keys, so the buffer never overflows between two waits.
press() { # key, count
    [ "$2" -le 0 ] || xdotool key --delay 3 --repeat "$2" "$1"
}
caught_up() {
    rm -f Mond.bmp
    xdotool key s
    for _ in $(seq 1500); do
        [ -e Mond.bmp ] && return 0
        running
        sleep 0.02
    done
    fail "the window does not take its keys"
}
move() { # from x y r to x y r
    local dx=$(($4 - $1)) dy=$(($5 - $2)) dr=$(($6 - $3))
    if [ $dx -ge 0 ]; then press Right $dx; else press Left $((-dx)); fi
    if [ $dy -ge 0 ]; then press Down $dy; else press Up $((-dy)); fi
    if [ $dr -ge 0 ]; then press Prior $dr; else press Next $((-dr)); fi
    caught_up
}
# A true circle of the truth file on the screen, moved by whole pixels and
# rounded as keys can set it.
seed() { # name dx dy dr
    awk -v name="$1" -v dx="$(($2 + left))" -v dy="$(($3 + top))" -v dr="$4" \
        '$1 == name { printf "%.0f %.0f %.0f\n", $2 + dx, $3 + dy, $4 + dr }' "$truth"
}
assist_and_confirm() {
    xdotool key a
    if [ -n "$screenshot" ] && [ ! -e "$screenshot" ]; then
        caught_up
        import -window root "$screenshot"
    fi
    xdotool key Return
}

# One photograph: the answers, then Sun 1, Sun 2, Venus 1, Venus 2. Helidor
# starts its first circle at 250, 500 with the start radius 200: the picture
# goes as far down as puts Sun 1 at that height. Sun 2 starts on Sun 1;
# Venus 1 on Sun 1 with a radius from Sun 2's; Venus 2 at Venus 1 moved by
# the Suns' shift. Each seed is a few screen pixels (four to twelve pixels of
# the photograph) off the truth.
measure() { # site result-file
    local photo="$folder/venus2012-site$1.jpg" audit="${2%.*}.fit.tsv"
    truth="$folder/venus2012-site$1.truth"
    left=0
    top="$(awk '$1 == "sun1" { printf "%.0f", 500 - $3 }' "$truth")"
    rm -f "$2" "$audit"
    "$helidor" &
    helidor_pid=$!
    # language, result file, picture, size, time, declination, pictures,
    # time difference, horizontal and vertical position, start radius
    for reply in e "$2" "$photo" "$size" 1.29 '' 2 '' "$left" "$top" 200; do
        answer "$reply"
    done
    local s1 s2 v1 v2 p
    read -r -a s1 < <(seed sun1 2 -2 3)
    read -r -a s2 < <(seed sun2 -2 1 -2)
    read -r -a v1 < <(seed venus1 1 -1 0)
    read -r -a v2 < <(seed venus2 -1 1 1)
    read -r -a p < <(awk -v dx="$left" -v dy="$top" \
        '$2 == "planetstart" { print $3 + dx, $4 + dy, $5 }' "$truth")
    move 250 500 200 "${s1[@]}"
    assist_and_confirm
    # Each assisted circle stays where the fit put it, rounded: on the truth.
    read -r -a s1 < <(seed sun1 0 0 0)
    move "${s1[@]}" "${s2[@]}"
    assist_and_confirm
    move "${p[@]}" "${v1[@]}"
    assist_and_confirm
    read -r -a v1 < <(seed venus1 0 0 0)
    read -r -a s2 < <(seed sun2 0 0 0)
    move $((v1[0] + s2[0] - s1[0])) $((v1[1] + s2[1] - s1[1])) "${v1[2]}" "${v2[@]}"
    assist_and_confirm
    # The construction stays two seconds, then the evaluation writes the files.
    for _ in $(seq 150); do
        grep -qP '^1\tresult1\t' "$audit" 2>/dev/null && break
        running
        sleep 0.05
    done
    kill "$helidor_pid" 2>/dev/null || true
    wait "$helidor_pid" 2>/dev/null || true
    helidor_pid=
    grep -qP '^1\tresult1\t' "$audit" 2>/dev/null || fail "no result1 line in $audit"
}
helidor_pid=
trap '[ -z "$helidor_pid" ] || kill "$helidor_pid" 2>/dev/null || true' EXIT

# x' and y' of result1 in an audit file, and whether all of it was assisted.
read_result() { # audit-file
    awk -F'\t' '$2 ~ /^(sun|planet)[12]$/ && $11 != "assisted" { bad = 1 }
        $2 == "result1" { x = $3; y = $4; fit = $11 }
        END { if (x == "" || fit != "assisted" || bad) exit 1; print x, y }' "$1"
}

cd "$folder"
measure 1 north.txt
measure 2 south.txt
read -r x1 y1 < <(read_result north.fit.tsv) || fail "north.fit.tsv: not every circle assisted"
read -r x2 y2 < <(read_result south.fit.tsv) || fail "south.fit.tsv: not every circle assisted"
read -r tx1 ty1 < <(awk '$2 == "position" { print $3, $4 }' venus2012-site1.truth)
read -r tx2 ty2 < <(awk '$2 == "position" { print $3, $4 }' venus2012-site2.truth)
echo "From the window's audit files (true positions in brackets):"
echo "  site 1, north.fit.tsv: x1' $x1 ($tx1)  y1' $y1 ($ty1)"
echo "  site 2, south.fit.tsv: x2' $x2 ($tx2)  y2' $y2 ($ty2)"
# The parallax rests on the shift's length alone: x' and y' swapped at both
# sites would still give it. Each site's position must match its own.
near() { # x y true-x true-y
    awk -v x="$1" -v y="$2" -v tx="$3" -v ty="$4" \
        'BEGIN { exit !((x - tx) ^ 2 <= 1e-6 && (y - ty) ^ 2 <= 1e-6) }'
}
near "$x1" "$y1" "$tx1" "$ty1" || fail "site 1's x', y' are not where its planet is"
near "$x2" "$y2" "$tx2" "$ty2" || fail "site 2's x', y' are not where its planet is"

# Quenmark as a user answers it: English, Venus, the Sun's data it proposes
# for the date, both sites, the time and the four coordinates.
results="$(printf '%s\n' e v '' '' '' '' '' "50g0'0" "135g0'0" "-30g0'0" "153g0'0" 01.29 \
    "$x1" "$y1" "$x2" "$y2" |
    "$quenmark" --date 2012-06-06 --time 01.29 |
    awk '/^Results:/ { on = 1 } on && NF { print } on && /piS/ { exit }')"
echo "Typed into quenmark --date 2012-06-06 --time 01.29:"
echo "$results"
shown="$(awk -F': *' '/piS/ { sub(/"$/, "", $2); print $2 }' <<<"$results")"
[ -n "$shown" ] || fail "quenmark gave no parallax"

# Quenmark shows one decimal; its computation at full precision decides.
read -r measured true error < <("$bench" --parallax "$x1" "$y1" "$x2" "$y2")
echo "solar parallax: quenmark shows $shown\", computed $measured\", true $true\": error $error %"
awk -v s="$shown" -v m="$measured" 'BEGIN { d = s - m; exit !(d <= 0.05 && d >= -0.05) }' ||
    fail "quenmark shows $shown\", not the computed $measured\""
awk -v e="$error" -v g="$goal" 'BEGIN { exit !(e <= g && e >= -g) }' ||
    fail "the parallax is off by more than $goal %"
