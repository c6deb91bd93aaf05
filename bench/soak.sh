#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Steadiness over many selections: next, previous and search in turn on the
# real window and player, on a copy of the default application folder.
#   bench/soak.sh [selections] [pace in ms]     (default 5000 as fast as it goes;
#   500 ms is a child's pace; build first with scripts/build.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
selections=${1:-5000}
pace=${2:-5}
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cp -r build/app/. "$folder"
rm -f "$folder/zorvina"
if [ "$(id -u)" -eq 0 ]; then
    export QTWEBENGINE_DISABLE_SANDBOX=1
fi
xvfb-run -a -s "-screen 0 1024x768x24" build/bench/zorvina-soak "$folder" "$selections" "$pace" 2>/dev/null
