#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Zorvina against the page a parent would otherwise use: Hanzi Writer
# animating 大 in Chromium, started the same way in the same run (cold and
# second start, first stroke pixels, memory of every process, key presses).
#   bench/peer.sh [runs]     (default 5; build first with scripts/build.sh)
# Chromium and the page's npm packages are the benchmark's alone: they are
# installed here, never by the program's set-up commands.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
if ! command -v chromium >/dev/null 2>&1; then
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq chromium
fi
(cd bench/peer && npm ci --no-audit --no-fund --loglevel=error)
exec python3 bench/playerbench.py --program build/app --peer bench/peer --runs "$runs" \
    --selections 5 --soak 0
