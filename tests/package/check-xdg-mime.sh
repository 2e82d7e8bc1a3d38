#!/usr/bin/env bash
# Installs the orv-loupe package into a fresh root folder, with the MIME
# database of shared-mime-info on a clean system, and does there what the
# triggers of shared-mime-info and desktop-file-utils do on installing it.
# Then, with that folder as the only data folder: xdg-mime finds SEG-Y files
# by name (in either case) and by their first bytes, leaves a text file
# alone, and names ORV Loupe the default application for them; and the
# thumbnailer entry's command, as a file manager runs it with no display,
# writes a PNG of the requested size for a SEG-Y file and nothing for the
# text file.
#
# check-xdg-mime.sh <build dir> <work dir> [cpack]
set -euo pipefail

BUILD=$1
WORK=$2
CPACK=${3:-cpack}
APP_ID=com.tessavo.OrvLoupe
TYPE=application/x-segy

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

for tool in dpkg-deb xdg-mime mimetype update-mime-database update-desktop-database; do
    command -v "$tool" >/dev/null || fail "$tool is missing: install xdg-utils, libfile-mimeinfo-perl, \
shared-mime-info and desktop-file-utils (scripts/test.sh does)"
done

rm -rf "$WORK"
mkdir -p "$WORK/home" "$WORK/config" "$WORK/files"
"$CPACK" -G DEB --config "$BUILD/CPackConfig.cmake" -B "$WORK/deb" -D CPACK_COMPONENTS_ALL=loupe \
    >"$WORK/cpack.log" 2>&1 || { cat "$WORK/cpack.log" >&2; fail "cpack -G DEB failed"; }
DEB=$(echo "$WORK"/deb/orv-loupe_*.deb)
[ -f "$DEB" ] || fail "cpack made no orv-loupe package"

# The package has no maintainer script: what updates the caches on a real
# install are the triggers of shared-mime-info and desktop-file-utils on the
# folders it installs into.
for pkg_folder in shared-mime-info:/usr/share/mime/packages desktop-file-utils:/usr/share/applications; do
    pkg=${pkg_folder%%:*}
    folder=${pkg_folder#*:}
    triggers=/var/lib/dpkg/info/$pkg.triggers
    awk -v f="$folder" '$1 ~ /^interest/ && $2 == f {found = 1} END {exit !found}' "$triggers" ||
        fail "$pkg has no trigger on $folder"
    dpkg-deb -c "$DEB" | awk '{print $6}' | grep -q "^\.$folder/." ||
        fail "orv-loupe installs nothing into $folder"
done

ROOT="$WORK/root"
dpkg-deb -x "$DEB" "$ROOT"
mkdir -p "$ROOT/usr/share/mime/packages"
cp /usr/share/mime/packages/freedesktop.org.xml "$ROOT/usr/share/mime/packages/"
update-mime-database "$ROOT/usr/share/mime" >"$WORK/update.log" 2>&1 ||
    { cat "$WORK/update.log" >&2; fail "update-mime-database failed"; }
update-desktop-database "$ROOT/usr/share/applications" >>"$WORK/update.log" 2>&1 ||
    { cat "$WORK/update.log" >&2; fail "update-desktop-database failed"; }

# A session of no desktop environment that sees only the new root.
bare() {
    env -i PATH="$ROOT/usr/bin:/usr/bin:/bin" HOME="$WORK/home" XDG_DATA_HOME="$WORK/home/data" \
        XDG_CONFIG_HOME="$WORK/config" XDG_CONFIG_DIRS="$WORK/config" XDG_DATA_DIRS="$ROOT/usr/share" "$@"
}

# segy <path> <first card> <second card> <space>: a file of a 3200-byte
# textual header (the cards given as printf escapes, then blanks in `space`),
# a binary header of 50 IEEE samples of 4 ms, and two traces of a square wave.
segy() {
    local blanks
    blanks() { head -c "$1" /dev/zero | tr '\0' "$2"; }
    {
        printf "$2"
        blanks 77 "$4"
        printf "$3"
        blanks $((3200 - 83)) "$4"
        printf '\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\017\240\0\0\0\062\0\0\0\005'
        head -c 374 /dev/zero
        for trace in 1 2; do
            head -c 240 /dev/zero
            for _ in $(seq 25); do printf '\077\200\0\0\277\200\0\0'; done
        done
    } >"$1"
}
F="$WORK/files"
segy "$F/line.sgy" '\303\100\361' '\303\100\362' '\100'
cp "$F/line.sgy" "$F/LINE.SEGY"
cp "$F/line.sgy" "$F/ebcdic-header"
segy "$F/ascii-header" 'C01' 'C02' ' '
printf 'C 1 a note that is no seismic data\n' >"$F/note.txt"

echo "== xdg-mime query filetype"
expect_type() {
    local got
    got=$(bare xdg-mime query filetype "$F/$1") || fail "xdg-mime query filetype $1 failed"
    echo "$1: $got"
    [ "$got" = "$2" ] || fail "$1 is '$got', expected $2"
}
expect_type line.sgy "$TYPE"
expect_type LINE.SEGY "$TYPE"
expect_type ebcdic-header "$TYPE"
expect_type ascii-header "$TYPE"
expect_type note.txt text/plain

echo "== xdg-mime query default"
default=$(bare xdg-mime query default "$TYPE")
echo "$TYPE: $default"
[ "$default" = "$APP_ID.desktop" ] || fail "the default application is '$default', expected $APP_ID.desktop"

echo "== thumbnailer entry"
ENTRY="$ROOT/usr/share/thumbnailers/orv-loupe.thumbnailer"
value() { sed -n "s/^$1=//p" "$ENTRY"; }
[ "$(head -n 1 "$ENTRY")" = "[Thumbnailer Entry]" ] || fail "$ENTRY has no [Thumbnailer Entry] group"
grep -qx "$TYPE;" <<<"$(value MimeType)" || fail "the thumbnailer is not for $TYPE"
bare sh -c "command -v $(value TryExec)" >/dev/null || fail "TryExec=$(value TryExec) is not installed"
# thumbnail <input> <output> <size>: the entry's command, as a file manager expands it.
thumbnail() {
    local command
    command=$(value Exec | sed "s|%i|'$1'|; s|%o|'$2'|; s|%s|$3|")
    bare sh -c "$command"
}
thumbnail "$F/line.sgy" "$F/line.png" 64 || fail "the thumbnailer failed on line.sgy"
read -r -a head <<<"$(od -An -tu1 -N24 "$F/line.png" | tr "\n" " ")"
[ "${head[1]} ${head[2]} ${head[3]}" = "80 78 71" ] || fail "line.png is not a PNG"
width=$(((head[16] << 24) | (head[17] << 16) | (head[18] << 8) | head[19]))
height=$(((head[20] << 24) | (head[21] << 16) | (head[22] << 8) | head[23]))
echo "line.sgy: ${width}x${height} PNG"
# Two traces of 50 samples: the longer side is the size, the other half of it.
[ "$width" -eq 32 ] && [ "$height" -eq 64 ] || fail "line.png is ${width}x${height}, expected 32x64"
if thumbnail "$F/note.txt" "$F/note.png" 64 2>/dev/null; then
    fail "the thumbnailer succeeded on a text file"
fi
[ ! -e "$F/note.png" ] || fail "the thumbnailer wrote a picture of a text file"

echo "MIME type, default application and thumbnailer: all checks passed"
