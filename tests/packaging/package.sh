#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# package.sh BUILD_DIR: makes the Debian packages the way scripts/package.sh
# does, into a temporary folder, and checks what each holds and what it asks
# of the system. Their files come from the same install rules as
# install.sh's, which checks them one by one.
set -euo pipefail
build=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$tmp" >/dev/null)
program=$(echo "$tmp"/zorvina_2.00-1_*.deb)
maker=$(echo "$tmp"/zorvina-moviemaker_2.00-1_*.deb)
[ -f "$program" ] || fail "no zorvina_2.00-1 package was made"
[ -f "$maker" ] || fail "no zorvina-moviemaker_2.00-1 package was made"

# Name (with its link target) of every entry of a package.
names() {
    dpkg-deb -c "$1" | tee "$tmp/contents" |
        awk '{ $1 = $2 = $3 = $4 = $5 = ""; sub(/^ +/, ""); print }'
}
names "$program" > "$tmp/program"
awk '$2 != "root/root" { bad = 1 } END { exit bad }' "$tmp/contents" || fail "files not owned by root"
names "$maker" > "$tmp/maker"
awk '$2 != "root/root" { bad = 1 } END { exit bad }' "$tmp/contents" || fail "files not owned by root"

grep -qx './usr/bin/zorvina -> ../lib/zorvina/zorvina' "$tmp/program" ||
    fail "usr/bin/zorvina is not a link to the program"
movies=$(grep -c '^\./usr/lib/zorvina/hanzi/.*\.haz$' "$tmp/program" || true)
[ "$movies" -eq "$(find "$build/app/hanzi" -name '*.haz' | wc -l)" ] ||
    fail "the package holds $movies movies, not the build's"
grep -qx './usr/lib/zorvina/zorvina-webplayer.so' "$tmp/program" || fail "no web player module"
# Each file in exactly one of the two packages: the program's has nothing of
# the movie maker's, and the other way round.
! grep -q 'moviemaker\|/usr/share/zorvina/' "$tmp/program" || fail "the movie maker in zorvina"
grep -qx './usr/bin/zorvina-moviemaker' "$tmp/maker" || fail "no movie maker in its package"
grep -q '^\./usr/share/zorvina/voices/.*\.mp3$' "$tmp/maker" || fail "no voices in the movie maker's"
! grep -q '^\./usr/lib/zorvina/' "$tmp/maker" || fail "the program's files in zorvina-moviemaker"

depends() { dpkg-deb -f "$1" Depends; }
for needed in libqt6webenginewidgets6 libqt6widgets6 libmpg123-0 libpulse0 liblzma5 \
    fonts-arphic-ukai; do
    grep -q "\b$needed\b" <<< "$(depends "$program")" || fail "zorvina lacks $needed"
done
for needed in libmp3lame0 fonts-arphic-ukai fonts-dejavu-core espeak-ng; do
    grep -q "\b$needed\b" <<< "$(depends "$maker")" || fail "zorvina-moviemaker lacks $needed"
done
! grep -q 'espeak-ng\|libmp3lame0' <<< "$(depends "$program")" ||
    fail "zorvina asks for what only the movie maker needs"
for deb in "$program" "$maker"; do
    package=$(dpkg-deb -f "$deb" Package)
    dpkg-deb --fsys-tarfile "$deb" | tar -x -C "$tmp" "./usr/share/doc/$package/copyright"
    [ "$(head -n 1 "$tmp/usr/share/doc/$package/copyright")" = \
        'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ] ||
        fail "$package's copyright file is not in Debian's format"
    grep -q '^License: GPL-3.0-or-later' "$tmp/usr/share/doc/$package/copyright" ||
        fail "$package's copyright file does not give the program's licence"
    echo "$(basename "$deb"): $(stat -c %s "$deb") bytes, Installed-Size $(dpkg-deb -f "$deb" Installed-Size) KiB"
done
