#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Sets up the machine, builds both programs and starts Helidor in the current
# folder (its result files and screen pictures are written there); it finds
# its sample photograph in its own folder. Quenmark: build/quenmark/quenmark.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/tools/setup.sh"
bash "$root/tools/build.sh" helidor helidor_samples quenmark
exec "$root/build/helidor/helidor"
