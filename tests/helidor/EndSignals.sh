#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SIGHUP and SIGTERM end the real Helidor as closing its window does, on a
# real X server with the keys typed by xdotool: SIGHUP while a question is
# open ends it with status 0; SIGTERM while the message box of a failed
# evaluation is open ends it after writing the kept lines to standard error.
#   EndSignals.sh HELIDOR FOLDER
# Run it under xvfb-run -a -s "-screen 0 1600x1000x24".
set -euo pipefail
helidor="$(realpath "$1")"
mkdir -p "$2"
folder="$(cd "$2" && pwd)"
pid=
trap '[ -z "$pid" ] || kill -KILL "$pid" 2>/dev/null || true' EXIT

fail() {
    echo "EndSignals: $*" >&2
    [ ! -e stderr.txt ] || { echo "its standard error:" >&2; cat stderr.txt >&2; }
    exit 1
}

start() { # case
    rm -rf "${folder:?}/$1"
    mkdir -p "$folder/$1"
    cd "$folder/$1"
    "$helidor" 2>stderr.txt &
    pid=$!
}
running() { kill -0 "$pid" 2>/dev/null || fail "Helidor has ended by surprise"; }

# Each question opens the dialog anew; a short pause after Return lets the
# next one open before the next keys come.
question() {
    running
    timeout 20 xdotool search --sync --onlyvisible --name '^Eingabe$' >/dev/null ||
        fail "no question on the screen"
}
answer() {
    question
    [ -z "$1" ] || xdotool type --delay 2 -- "$1"
    xdotool key Return
    sleep 0.15
}

# Waits for the condition, at most count times a twentieth of a second.
await() { # count what command...
    local count="$1" what="$2"
    shift 2
    for _ in $(seq "$count"); do
        "$@" && return 0
        running
        sleep 0.05
    done
    fail "$what"
}

# The status Helidor ends with after the signal (128 + the signal's number
# when the signal killed it).
ended() { # signal expected-status
    kill -"$1" "$pid"
    for _ in $(seq 200); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.05
    done
    kill -0 "$pid" 2>/dev/null && fail "still running 10 s after SIG$1"
    local status=0
    wait "$pid" || status=$?
    pid=
    [ "$status" = "$2" ] || fail "status $status after SIG$1, expected $2"
}

# [SECTION] SIGHUP while the language question is open
start hangup
question
ended HUP 0

# [SECTION] SIGTERM with kept lines while a message box is open
start terminate
for reply in '' '' '' '' '' 1 '' '' '' ''; do # one picture, the rest defaults
    answer "$reply"
done
# "s" saves the screen as Mond.bmp once the adjustment takes keys.
xdotool key s
await 400 "no adjustment screen" test -e Mond.bmp
# The result file and the audit file (created at the first evaluation)
# cannot be written from now on: folders under their names.
rm Test.txt
mkdir Test.txt Test.fit.tsv
# The Sun at the start circle (250, 500, 200), the planet 100 pixels above.
xdotool key Return
xdotool key --delay 3 --repeat 100 Up
xdotool key Return
await 400 "no construction saved" test -e Ergebnis.bmp
# The evaluation's message box beside the console window.
boxes() { [ "$(xdotool search --onlyvisible --name '^helidor$' | wc -l)" -ge 2 ]; }
await 400 "no message box" boxes
ended TERM 0

lines_kept="The measurement is not lost: its lines are written with the next evaluation."
result="The result file \"Test.txt\" cannot be written (not a regular file). $lines_kept
8.00"$'\r\n'" 0.5000"$'\r\n'"90.00"$'\r\n'
circles="The audit file \"Test.fit.tsv\" cannot be written (not a regular file). $lines_kept
1	sun	250.000	500.000	200.000	0.500	0.500	0.500			keys	08:00:00	Lurni1000UT.bmp
1	planet	250.000	400.000	14.000	0.500	0.500	0.500			keys	08:00:00	Lurni1000UT.bmp
1	result	0.000000	0.500000	0.500000	"
err="$(cat stderr.txt)"
[[ "$err" == *"$result"* ]] || fail "the result file's kept lines are not on standard error"
[[ "$err" == *"$circles"* ]] || fail "the audit file's kept lines are not on standard error"
echo "EndSignals: SIGHUP and SIGTERM end Helidor with status 0; the kept lines reach standard error"
