#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# play.sh PROGRAM [CLICK]: on the current X display, starts PROGRAM, clicks
# the list at CLICK ("x y" in the window, if given), waits until the movie
# area shows a movie, then closes the window with its close button and
# answers the goodbye message. Fails when any step does not happen in time.
set -euo pipefail
program=$1
click=${2:-}
shot=$(mktemp --suffix=.png)
trap 'rm -f "$shot"; kill "$pid" 2>/dev/null || true' EXIT

# The window's layout is fixed: the movie area and the close button.
movie_area=577x449+112+8
close_button="624 496"

"$program" &
pid=$!
window=""
for _ in $(seq 600); do
    window=$(xdotool search --onlyvisible --name '^Zorvina$' 2>/dev/null | head -n 1) && [ -n "$window" ] && break
    kill -0 "$pid" 2>/dev/null || { echo "The program ended before showing its window." >&2; exit 1; }
    sleep 0.1
done
[ -n "$window" ] || { echo "The window did not appear." >&2; exit 1; }
if [ -n "$click" ]; then
    # shellcheck disable=SC2086
    xdotool mousemove --window "$window" $click click 1
fi

# An empty movie area is one flat colour; a movie draws its grid and strokes.
drawn=0
for _ in $(seq 300); do
    import -window "$window" "$shot"
    spread=$(convert "$shot" -crop "$movie_area" -colorspace gray -format '%[fx:standard_deviation]' info:)
    if awk -v s="$spread" 'BEGIN { exit !(s > 0.02) }'; then
        drawn=1
        break
    fi
    sleep 0.2
done
[ "$drawn" = 1 ] || { echo "No movie was drawn." >&2; exit 1; }

# shellcheck disable=SC2086
xdotool mousemove --window "$window" $close_button click 1
for _ in $(seq 300); do
    kill -0 "$pid" 2>/dev/null || break
    box=$(xdotool search --onlyvisible --name '^Zorvina$' 2>/dev/null | head -n 1) || true
    [ -n "$box" ] && xdotool key Return 2>/dev/null || true
    sleep 0.2
done
trap 'rm -f "$shot"' EXIT
wait "$pid" || { echo "The program did not end normally (status $?)." >&2; exit 1; }
