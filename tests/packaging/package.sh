#!/usr/bin/env bash
# package.sh BUILD_DIR: makes the Debian package the way
# scripts/package.sh does, into a temporary folder, and checks what it holds
# and what it asks of the system. Its files come from the same install rules
# as install.sh's, which checks them one by one.
set -euo pipefail
build=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$tmp" >/dev/null)
deb=$(echo "$tmp"/zorvina_2.00-1_*.deb)
[ -f "$deb" ] || fail "no zorvina_2.00-1 package was made"

dpkg-deb -c "$deb" > "$tmp/contents"
# Name (with its link target) of every entry.
awk '{ $1 = $2 = $3 = $4 = $5 = ""; sub(/^ +/, ""); print }' "$tmp/contents" > "$tmp/names"
grep -qx './usr/bin/zorvina -> ../lib/zorvina/zorvina' "$tmp/names" ||
    fail "usr/bin/zorvina is not a link to the program"
movies=$(grep -c '^\./usr/lib/zorvina/hanzi/.*\.haz$' "$tmp/names" || true)
[ "$movies" -eq "$(find "$build/app/hanzi" -name '*.haz' | wc -l)" ] ||
    fail "the package holds $movies movies, not the build's"
awk '$2 != "root/root" { bad = 1 } END { exit bad }' "$tmp/contents" || fail "files not owned by root"

field() { dpkg-deb -f "$deb" "$1"; }
depends=$(field Depends)
for needed in libqt6webenginewidgets6 libqt6webenginecore6-bin libqt6widgets6 libmp3lame0 \
    fonts-arphic-ukai fonts-dejavu-core; do
    grep -q "\b$needed\b" <<< "$depends" || fail "Depends lacks $needed: $depends"
done
dpkg-deb --fsys-tarfile "$deb" | tar -x -C "$tmp" ./usr/share/doc/zorvina/copyright
[ "$(head -n 1 "$tmp/usr/share/doc/zorvina/copyright")" = \
    'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ] ||
    fail "the copyright file is not in Debian's format"
echo "$(basename "$deb"): $(stat -c %s "$deb") bytes, Installed-Size $(field Installed-Size) KiB"
