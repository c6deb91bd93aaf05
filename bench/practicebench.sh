#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Writing practice over the library's characters: the time from each drawn
# move and release to its repaint, the memory every hundred characters, and
# two pictures of a practised character.
#   bench/practicebench.sh [characters] [picture folder]
#   (default 1000 and build/bench/practice; build first with scripts/build.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
characters=${1:-1000}
pictures=${2:-build/bench/practice}
export QT_QPA_PLATFORM=offscreen
build/bench/zorvina-practicebench build/app "$characters" "$pictures"
