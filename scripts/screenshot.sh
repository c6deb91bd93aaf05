#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# screenshot.sh PROGRAM PNG: starts PROGRAM on the current X display, waits for
# its window and its first movie, saves a screenshot to PNG, then closes the
# window and answers the goodbye message with Enter.
set -euo pipefail
program=$1
shot=$2

"$program" &
pid=$!
window=""
for _ in $(seq 100); do
    window=$(xdotool search --onlyvisible --name '^Zorvina$' 2>/dev/null | head -n 1) && [ -n "$window" ] && break
    sleep 0.1
done
if [ -z "$window" ]; then
    echo "The window did not appear." >&2
    kill "$pid" 2>/dev/null || true
    exit 1
fi
# Give the player time to start and draw a few frames of the movie.
sleep 4
import -window "$window" "$shot"
# Close as a user would: the close button (there is no window manager here
# to offer a title bar).
xdotool mousemove --window "$window" 624 496 click 1
for _ in $(seq 50); do
    box=$(xdotool search --onlyvisible --name '^Zorvina$' 2>/dev/null | head -n 1) || true
    [ -n "$box" ] && xdotool key Return 2>/dev/null || true
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.2
done
wait "$pid" || true
echo "Screenshot of Zorvina saved to $(realpath "$shot")"
