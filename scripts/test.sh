#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test headless.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
cd build
ctest --output-on-failure --timeout 600
