#!/usr/bin/env bash
# Builds Zorvina (when not built yet) and makes its Debian package,
# build/zorvina_<version>_<architecture>.deb. Install it with
#     sudo apt-get install ./build/zorvina_2.00-1_amd64.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
cd build
cpack -G DEB
