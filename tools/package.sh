#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package of Helidor and Quenmark and checks it: its
# dependencies, lintian (no errors), the menu entry, the AppStream metadata
# and the man pages; then runs both programs out of the unpacked package from
# an unrelated working folder, and Helidor once more with the unpacked tree
# moved to another prefix. The package is left in build/package/.
#   tools/package.sh        (BUILD=<folder> to use another build folder)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/tools/setup.sh" lintian desktop-file-utils appstream librsvg2-bin xdotool groff man-db

build="${BUILD:-$root/build}"
cmake -S "$root" -B "$build" -DWITH_CONSOLE=ON -DWARNINGS_AS_ERRORS=ON \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)"
rm -rf "$build/package"
(cd "$build" && cpack -B "$build/package" >/dev/null)
deb="$(ls "$build"/package/helidor_*.deb)"
echo "== $deb"
dpkg-deb --field "$deb"

fail() {
    echo "package check: $*" >&2
    exit 1
}

# No made-up addresses: the project has no home page or maintainer address yet.
for field in Maintainer Homepage; do
    [ -z "$(dpkg-deb --field "$deb" "$field")" ] || fail "the control file has a $field field"
done

# Dependencies: the libraries found by dpkg-shlibdeps, and Qt's platform
# plugins, which Qt loads at run time.
depends="$(dpkg-deb --field "$deb" Depends)"
for needed in libc6 libstdc++6 libqt6widgets6 libqt6gui6 libjpeg62-turbo liberfa1 qt6-qpa-plugins; do
    [[ ", $depends," == *", $needed "* || ", $depends," == *", $needed,"* ]] \
        || fail "Depends lacks $needed: $depends"
done

echo "== lintian"
# The one error lintian must find is the Maintainer field left out on purpose.
report="$(lintian --fail-on none --display-info "$deb" 2>&1)"
echo "$report"
errors="$(grep '^E: ' <<<"$report" | grep -v '^E: helidor: required-field .* Maintainer$' || true)"
[ -z "$errors" ] || fail "lintian found errors: $errors"

unpacked="$(mktemp -d)"
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked/root"
usr="$unpacked/root/usr"

echo "== desktop-file-validate"
# One hint stays: Education and Science are both main categories, as asked.
report="$(desktop-file-validate "$usr"/share/applications/*.desktop)" || fail "bad menu entry: $report"
echo "$report"
unexpected="$(grep -v 'key "Categories" .* contains more than one main category' <<<"$report" || true)"
[ -z "$unexpected" ] || fail "menu entry: $unexpected"
echo "== appstreamcli validate"
appstreamcli validate --no-net "$usr"/share/metainfo/*.metainfo.xml || fail "bad metadata"
echo "== man --warnings"
for page in "$usr"/share/man/man1/*.1.gz; do
    warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)"
    [ -z "$warnings" ] || fail "$page: $warnings"
done
for icon in scalable/apps/helidor.svg {48x48,128x128,256x256}/apps/helidor.png; do
    [ -s "$usr/share/icons/hicolor/$icon" ] || fail "icon $icon missing"
done

# The programs run from a working folder that is neither the build folder
# nor the data folder.
mkdir "$unpacked/work"
cd "$unpacked/work"
echo "== quenmark from the package, on its defaults"
# Sixteen empty lines: every question on its default, one results block.
transcript="$(printf '\n%.0s' {1..16} | "$usr/bin/quenmark")" || fail "quenmark ended with an error"
grep -qF 'Parallax of the Sun piS :  3.4"' <<<"$transcript" \
    || fail "quenmark's results block is missing: $transcript"

# The result files of the measurement are those of the same measurement in
# the README's walk-through, byte for byte.
measure() { # prefix, label
    echo "== helidor $2: a two-picture measurement in $PWD"
    rm -f Test.txt Test2.txt Ergebnis.bmp
    xvfb-run -a -s "-screen 0 1280x960x24" bash "$root/tools/type-measurement.sh" \
        "$1/bin/helidor" "$1/share/helidor/Lurni1000UT.truth.txt"
    cmp Test.txt "$root/docs/screenshots/Test.txt" || fail "Test.txt: $(cat -A Test.txt)"
    cmp Test2.txt "$root/docs/screenshots/Test2.txt" || fail "Test2.txt: $(cat -A Test2.txt)"
    [ -s Ergebnis.bmp ] || fail "no Ergebnis.bmp"
}
measure "$usr" "from the unpacked package"
mkdir -p "$unpacked/elsewhere/opt"
cp -a "$usr" "$unpacked/elsewhere/opt/transit"
rm -rf "$unpacked/root"
measure "$unpacked/elsewhere/opt/transit" "with its tree moved to /opt/transit"
echo "Package $deb: all checks passed"
