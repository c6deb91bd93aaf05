#!/usr/bin/env bash
# package.sh BUILD_DIR APP_ID: makes the Debian package the way
# scripts/package.sh does, into a temporary folder, and checks what it holds
# and what it asks of the system.
set -euo pipefail
build=$1
id=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$tmp" >/dev/null)
deb=$(echo "$tmp"/zorvina_2.00-1_*.deb)
[ -f "$deb" ] || fail "no zorvina_2.00-1 package was made"

dpkg-deb -c "$deb" > "$tmp/contents"
# Name (with its link target) of every entry.
awk '{ $1 = $2 = $3 = $4 = $5 = ""; sub(/^ +/, ""); print }' "$tmp/contents" > "$tmp/names"
for path in usr/lib/zorvina/zorvina usr/lib/zorvina/hanzi.ini usr/lib/zorvina/harrow.cur \
    usr/lib/zorvina/ruffle/ruffle.js usr/lib/zorvina/licenses/movie-data.txt \
    usr/bin/zorvina-moviemaker usr/share/zorvina/readings/modern.json \
    "usr/share/applications/$id.desktop" "usr/share/metainfo/$id.metainfo.xml" \
    usr/share/man/man1/zorvina.1.gz usr/share/doc/zorvina/copyright; do
    grep -qx "./$path" "$tmp/names" || fail "$path is not in the package"
done
for size in 16 24 32 48 64 128 256; do
    grep -qx "./usr/share/icons/hicolor/${size}x${size}/apps/$id.png" "$tmp/names" ||
        fail "no ${size} px icon in the package"
done
grep -qx './usr/bin/zorvina -> ../lib/zorvina/zorvina' "$tmp/names" ||
    fail "usr/bin/zorvina is not a link to the program"
movies=$(grep -c '^\./usr/lib/zorvina/hanzi/.*\.haz$' "$tmp/names" || true)
[ "$movies" -eq "$(find "$build/app/hanzi" -name '*.haz' | wc -l)" ] ||
    fail "the package holds $movies movies, not the build's"
! grep -Eq '^\./usr/lib/zorvina/(config\.ini|Temp/|Work/)' "$tmp/names" ||
    fail "the package holds what the program writes"
awk '$2 != "root/root" { bad = 1 } END { exit bad }' "$tmp/contents" || fail "files not owned by root"

field() { dpkg-deb -f "$deb" "$1"; }
depends=$(field Depends)
for needed in libqt6webenginewidgets6 libqt6webenginecore6-bin libqt6widgets6 libmp3lame0 \
    fonts-arphic-ukai fonts-dejavu-core; do
    grep -q "\b$needed\b" <<< "$depends" || fail "Depends lacks $needed: $depends"
done
[ "$(field Section)" = education ] || fail "the section is not education"
[ -n "$(field Maintainer)" ] || fail "no maintainer"
# Whole texts first: grep -q stops reading early, which pipefail would count.
description=$(field Description)
grep -q 'Chinese characters' <<< "$description" || fail "no English description"
grep -q '汉字' <<< "$description" || fail "no Chinese description"
dpkg-deb --fsys-tarfile "$deb" | tar -x -C "$tmp" ./usr/share/doc/zorvina/copyright
[ "$(head -n 1 "$tmp/usr/share/doc/zorvina/copyright")" = \
    'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ] ||
    fail "the copyright file is not in Debian's format"
echo "$(basename "$deb"): $(stat -c %s "$deb") bytes, Installed-Size $(field Installed-Size) KiB"
