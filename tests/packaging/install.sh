#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# install.sh BUILD_DIR APP_ID: installs the build into a temporary prefix as
# `cmake --install` lays it out, checks the desktop entry and the AppStream
# metadata with the real validators, then runs the installed program on a
# virtual display from its read-only folder, as a user who cannot write there
# and with a data folder of its own: a movie plays, the close remembers the
# character in the user's data folder, the next run starts on it, and the
# installed folder is left as it was.
set -euo pipefail
build=$1
id=$2
here=$(cd "$(dirname "$0")" && pwd)

tmp=$(mktemp -d)
trap 'chmod -R u+w "$tmp"; rm -rf "$tmp"' EXIT
chmod 755 "$tmp"
prefix=$tmp/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

fail() { echo "FAIL: $*" >&2; exit 1; }

desktop-file-validate "$prefix/share/applications/$id.desktop"
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml"

[ "$(readlink -f "$prefix/bin/zorvina")" = "$prefix/lib/zorvina/zorvina" ] ||
    fail "bin/zorvina does not lead to the program in lib/zorvina"
for size in 16 24 32 48 64 128 256; do
    icon=$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png
    [ "$(identify -format '%wx%h' "$icon")" = "${size}x${size}" ] || fail "no ${size} px icon"
done
for file in lib/zorvina/hanzi.ini lib/zorvina/harrow.cur lib/zorvina/ruffle/ruffle.js \
    share/man/man1/zorvina.1.gz share/doc/zorvina/copyright bin/zorvina-moviemaker \
    share/zorvina/readings-supplement.txt share/zorvina/readings/modern.json \
    lib/zorvina/licenses/movie-data.txt; do
    [ -s "$prefix/$file" ] || fail "$file is missing"
done
for file in Temp Work; do
    [ ! -e "$prefix/lib/zorvina/$file" ] || fail "lib/zorvina/$file is installed"
done
# A first run opens on the list's first character, 一.
[ "$(od -An -tx1 "$prefix/lib/zorvina/config.ini" | tr -d ' \n')" = "d2bb0d0a" ] ||
    fail "the installed config.ini does not name 一"

# The user cannot write in the installed folder; as root, the program runs as
# nobody, since root may write anywhere.
listing() { find "$prefix" -printf '%p %s %T@\n' | sort; }
chmod -R a-w "$prefix"
before=$(listing)
home=$tmp/home
mkdir -p -m 700 "$home/runtime"
cp "$here/play.sh" "$tmp/play.sh"
as_user=()
if [ "$(id -u)" -eq 0 ]; then
    chown -R nobody "$home"
    as_user=(runuser -u nobody --)
fi
run() {
    "${as_user[@]}" env HOME="$home" XDG_DATA_HOME="$home/data" XDG_RUNTIME_DIR="$home/runtime" \
        QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x768x24" "$tmp/play.sh" "$@"
}
# The list's second item, 二.
run "$prefix/bin/zorvina" "40 160" || fail "the first run"
config=$home/data/Zorvina/config.ini
[ "$(od -An -tx1 "$config" | tr -d ' \n')" = "b6fe0d0a" ] || fail "config.ini does not hold 二"
run "$prefix/bin/zorvina" || fail "the second run, on the remembered character"
[ "$(listing)" = "$before" ] || fail "the installed folder changed"

# Root itself: the program turns the web engine's sandbox off, says so, and
# plays (from root's own data folder).
if [ "$(id -u)" -eq 0 ]; then
    install -D -m 644 "$config" "$tmp/root/Zorvina/config.ini"
    env -u QTWEBENGINE_DISABLE_SANDBOX XDG_DATA_HOME="$tmp/root" QT_QPA_PLATFORM=xcb \
        xvfb-run -a -s "-screen 0 1024x768x24" "$tmp/play.sh" "$prefix/bin/zorvina" \
        2> "$tmp/root.log" || { cat "$tmp/root.log" >&2; fail "the run as root"; }
    grep -q "sandbox is off" "$tmp/root.log" || fail "root's run did not say the sandbox is off"
    [ "$(listing)" = "$before" ] || fail "root's run changed the installed folder"
fi
echo "Installed program played from its read-only folder; config.ini in the user's data folder."
