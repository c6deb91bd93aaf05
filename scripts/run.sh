#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds Zorvina and opens it on its default library.
# Without a display it runs the program on a virtual one, saves a screenshot of
# the window, closes the program the way a user would and says where the
# screenshot is.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh

# The web engine refuses to run as root unless its sandbox is off.
if [ "$(id -u)" -eq 0 ]; then
    export QTWEBENGINE_DISABLE_SANDBOX=1
fi

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec build/app/zorvina
fi

echo "No display found: running Zorvina on a virtual display to take a screenshot."
exec xvfb-run -a -s "-screen 0 1024x768x24" scripts/screenshot.sh build/app/zorvina build/zorvina.png
