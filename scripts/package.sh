#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Zorvina (when not built yet) and makes its Debian packages,
# build/zorvina_<version>_<architecture>.deb (the program and its library)
# and build/zorvina-moviemaker_<version>_<architecture>.deb (the movie maker
# and its data). Install the program with
#     sudo apt-get install ./build/zorvina_2.00-1_amd64.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
cd build
cpack -G DEB
