#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The native player against the web player (Ruffle), still by still: the
# feature movies at their own frames, then the character library at frames
# 1, 10 and the last. Pictures of the worst stills go to build/differential.
#   bench/differential.sh [zorvina-differential options for the library run]
# e.g. bench/differential.sh --sample 10   (every tenth character)
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${ZORVINA_BUILD:-$root/build}
out=$build/differential
cmake --build "$build" --target zorvina-differential -j2 >/dev/null || exit 2
mkdir -p "$out"

# Offscreen: no display needed, and the pictures are the widgets' own.
export QT_QPA_PLATFORM=offscreen QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu
export QT_LOGGING_RULES=qt.webenginecontext.debug=false
program=$build/bench/zorvina-differential

status=0
"$program" --features --out "$out/features" 2>"$out/features.err" | tee "$out/features.txt" \
    || status=1
if [ -d "$build/app/hanzi" ]; then
    "$program" --frames 1,10,last --out "$out/library" "$@" "$build/app/hanzi" \
        2>"$out/library.err" | tee "$out/library.txt" || status=1
else
    echo "differential: no library at $build/app/hanzi; build it first" >&2
    status=1
fi
exit $status
