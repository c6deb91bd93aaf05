#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# How the window copes with the default list against its first 301 characters
# (the list before it grew): start-up, End, and a search for the last
# character, on copies of the built application folder.
#   bench/listbench.sh [runs]     (default 10; build first with scripts/build.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-10}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for name in full short; do
    mkdir "$work/$name"
    cp -r build/app/. "$work/$name"
    rm -f "$work/$name/zorvina"
done
python3 - "$work/short/hanzi.ini" <<'PY'
import sys
path = sys.argv[1]
line = open(path, encoding="gb18030").read().splitlines()[0]
open(path, "w", encoding="gb18030", newline="").write(line[:301] + "\r\n")
PY
export QT_QPA_PLATFORM=offscreen
echo "== default list"
build/bench/zorvina-listbench "$work/full" "$runs" 2>/dev/null
echo "== first 301"
build/bench/zorvina-listbench "$work/short" "$runs" 2>/dev/null
