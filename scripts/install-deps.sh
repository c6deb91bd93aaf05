#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what building, running and testing Zorvina needs on Debian 12.
# Safe to run again: it installs only what is missing.
set -euo pipefail

packages=(
    build-essential cmake pkg-config
    qt6-base-dev qt6-svg-dev qt6-webengine-dev qt6-webchannel-dev qt6-declarative-dev libgl-dev
    zlib1g-dev liblzma-dev libmpg123-dev libpulse-dev
    libmp3lame-dev libpolyclipping-dev libsamplerate0-dev
    clang libclang-rt-14-dev
    espeak-ng fonts-arphic-ukai fonts-dejavu-core
    xvfb xdotool x11-utils imagemagick
    desktop-file-utils appstream dpkg-dev file
)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' \
        || missing+=("$package")
done
# A Node.js from elsewhere brings its own npm, which Debian's npm would conflict with.
if ! command -v npm >/dev/null 2>&1; then
    missing+=(nodejs npm)
fi

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi
