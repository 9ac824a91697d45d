#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what a fresh Debian 12 machine lacks to build and test both
# programs (apt-get as root, or through sudo), skipping what is installed.
set -euo pipefail

packages=(
    cmake make g++ pkgconf
    qt6-base-dev libjpeg62-turbo-dev libgtest-dev
    liberfa-dev
    fonts-liberation2 fonts-dejavu-core
    locales clang-format
    xvfb xauth xdotool
    groff-base man-db
    librsvg2-bin libxml2-utils
)
packages+=("$@") # extra packages a caller needs (the fuzzers need clang)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done

as_root=()
if [ "$(id -u)" -ne 0 ]; then
    as_root=(sudo)
fi

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    "${as_root[@]}" apt-get update -qq
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The console's tests prove that numbers do not follow a German locale.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    "${as_root[@]}" localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
