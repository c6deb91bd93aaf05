#!/usr/bin/env bash
# Steadiness over many selections: next, previous and search in turn on the
# real window and player, on a copy of the default application folder.
#   bench/soak.sh [selections]     (default 5000; build first with scripts/build.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
selections=${1:-5000}
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cp -r build/app/. "$folder"
rm -f "$folder/zorvina"
if [ "$(id -u)" -eq 0 ]; then
    export QTWEBENGINE_DISABLE_SANDBOX=1
fi
xvfb-run -a -s "-screen 0 1024x768x24" build/bench/zorvina-soak "$folder" "$selections" 2>/dev/null
