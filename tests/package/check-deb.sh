#!/usr/bin/env bash
# Builds the Debian packages with `cpack -G DEB` from a build folder into a
# fresh folder and checks their control fields and contents listings, the
# hardening of the shipped program, and that lintian reports no error and
# no warning on any of them.
#
# check-deb.sh <build dir> <work dir> <version> [cpack]
set -euo pipefail

BUILD=$1
WORK=$2
VERSION=$3
CPACK=${4:-cpack}
APP_ID=com.tessavo.OrvVantor
MAINTAINER="Tessavo Corp <support@tessavo.com>"

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

command -v dpkg-deb >/dev/null || fail "dpkg-deb is missing"
command -v dpkg-shlibdeps >/dev/null ||
    fail "dpkg-shlibdeps is missing: install dpkg-dev (scripts/test.sh does)"
command -v lintian >/dev/null || fail "lintian is missing (scripts/test.sh installs it)"
command -v readelf >/dev/null || fail "readelf is missing (binutils)"

rm -rf "$WORK"
mkdir -p "$WORK"
"$CPACK" -G DEB --config "$BUILD/CPackConfig.cmake" -B "$WORK" >"$WORK/cpack.log" 2>&1 ||
    { cat "$WORK/cpack.log" >&2; fail "cpack -G DEB failed"; }

ARCH=$(dpkg --print-architecture)
APP_DEB="$WORK/orv-vantor_${VERSION}_$ARCH.deb"
DEV_DEB="$WORK/orv-frame-dev_${VERSION}_$ARCH.deb"
[ -f "$APP_DEB" ] || fail "no $(basename "$APP_DEB"); cpack made: $(cd "$WORK" && echo ./*.deb)"
[ -f "$DEV_DEB" ] || fail "no $(basename "$DEV_DEB")"
SEGY_DEB="$WORK/orv-segy_${VERSION}_$ARCH.deb"
[ -f "$SEGY_DEB" ] || fail "no $(basename "$SEGY_DEB")"
LOUPE_DEB="$WORK/orv-loupe_${VERSION}_$ARCH.deb"
[ -f "$LOUPE_DEB" ] || fail "no $(basename "$LOUPE_DEB")"

# field <deb> <name>
field() {
    dpkg-deb -f "$1" "$2"
}

# expect_field <deb> <name> <value>
expect_field() {
    local value
    value=$(field "$1" "$2")
    [ "$value" = "$3" ] || fail "$(basename "$1"): $2 is '$value', expected '$3'"
}

# listing <deb>: the paths in the package, one a line, without "./".
listing() {
    dpkg-deb -c "$1" | awk '{print $6}' | sed 's|^\./|/|; s|/$||'
}

# has <deb> <path> [mode]: the package holds the path (with that mode, owned by root).
has() {
    local line
    line=$(dpkg-deb -c "$1" | awk -v p=".$2" '$6 == p')
    [ -n "$line" ] || fail "$(basename "$1") lacks $2"
    if [ $# -ge 3 ]; then
        case "$line" in
        "$3 root/root "*) ;;
        *) fail "$(basename "$1"): $2 is '$line', expected mode $3 and owner root/root" ;;
        esac
    fi
}

echo "== $(basename "$APP_DEB")"
dpkg-deb -f "$APP_DEB"
expect_field "$APP_DEB" Package orv-vantor
expect_field "$APP_DEB" Version "$VERSION"
expect_field "$APP_DEB" Section science
expect_field "$APP_DEB" Maintainer "$MAINTAINER"
expect_field "$APP_DEB" Architecture "$ARCH"
[ -n "$(field "$APP_DEB" Description)" ] || fail "no Description"
# The dependencies come from the libraries the binary links.
depends=$(field "$APP_DEB" Depends)
depends_names=$(sed 's/[,|]/\n/g' <<<"$depends" | awk '{print $1}')
for lib in libc6 libstdc++6 libqt5core5a libqt5gui5 libqt5widgets5; do
    grep -qxF "$lib" <<<"$depends_names" || fail "Depends lacks $lib: '$depends'"
done

has "$APP_DEB" /usr/bin/orv-vantor -rwxr-xr-x
has "$APP_DEB" "/usr/share/applications/$APP_ID.desktop" -rw-r--r--
has "$APP_DEB" "/usr/share/metainfo/$APP_ID.metainfo.xml" -rw-r--r--
has "$APP_DEB" "/usr/share/icons/hicolor/scalable/apps/$APP_ID.svg" -rw-r--r--
for size in 16 32 48 64 128 256; do
    has "$APP_DEB" "/usr/share/icons/hicolor/${size}x${size}/apps/$APP_ID.png" -rw-r--r--
done
has "$APP_DEB" /usr/share/man/man1/orv-vantor.1.gz -rw-r--r--
has "$APP_DEB" /usr/share/doc/orv-vantor/copyright -rw-r--r--
has "$APP_DEB" /usr/share/doc/orv-vantor/changelog.gz -rw-r--r--
# The changelog's latest entry is this version.
mkdir -p "$WORK/app"
dpkg-deb -x "$APP_DEB" "$WORK/app"
changelog_version=$(zcat "$WORK/app/usr/share/doc/orv-vantor/changelog.gz" | sed -n '1s/^[^ ]* (\([^)]*\)).*/\1/p')
[ "$changelog_version" = "$VERSION" ] ||
    fail "the changelog's latest entry is '$changelog_version', the package's version $VERSION"

# hardened <program>: position-independent, read-only relocations bound at
# start, stack protector. (It is compiled with _FORTIFY_SOURCE=2 too, but
# calls no libc function that has a checked form, so the binary cannot show it.)
hardened() {
    local program=$1 name imports
    name=$(basename "$1")
    readelf -h "$program" | grep -qE 'Type:[[:space:]]+DYN' || fail "$name is not position-independent"
    readelf -lW "$program" | grep -q GNU_RELRO || fail "$name has no read-only relocations"
    readelf -dW "$program" | grep -qE '\(BIND_NOW\)|\(FLAGS\).*BIND_NOW|\(FLAGS_1\).*NOW' ||
        fail "$name does not bind at start"
    imports=$(readelf --dyn-syms -W "$program" | awk '{print $8}')
    grep -q '^__stack_chk_fail' <<<"$imports" || fail "$name has no stack protector"
}
hardened "$WORK/app/usr/bin/orv-vantor"

# The application package carries no development files, and nothing
# outside /usr.
unexpected=$(listing "$APP_DEB" | grep -E '^/usr/(include|lib)(/|$)|\.a$|^/[^u]' || true)
[ -z "$unexpected" ] || fail "$(basename "$APP_DEB") carries: $unexpected"

echo "== $(basename "$DEV_DEB")"
dpkg-deb -f "$DEV_DEB"
expect_field "$DEV_DEB" Package orv-frame-dev
expect_field "$DEV_DEB" Version "$VERSION"
expect_field "$DEV_DEB" Maintainer "$MAINTAINER"
sed "s/[,|]/\n/g" <<<"$(field "$DEV_DEB" Depends)" | awk '{print $1}' | grep -qxF qtbase5-dev ||
    fail "orv-frame-dev does not depend on qtbase5-dev"
dev_list=$(listing "$DEV_DEB")
for header in OrvApp.h OrvConsole.h AppConsole.h OrvAboutDlg.h ui_OrvAboutDlgUi.h \
    TraceHeaderNames.h CalendarChoices.h TextUtils.h SampleFormats.h; do
    has "$DEV_DEB" "/usr/include/orvframe/$header" -rw-r--r--
done
for name in liborvframe.a liborvvocab.a cmake/OrvFrame/OrvFrameConfig.cmake \
    cmake/OrvFrame/OrvFrameConfigVersion.cmake cmake/OrvFrame/OrvFrameVocabTargets.cmake \
    cmake/OrvFrame/OrvFrameFrameTargets.cmake; do
    grep -qE "^/usr/lib/([^/]+/)?$name$" <<<"$dev_list" || fail "orv-frame-dev lacks $name"
done
has "$DEV_DEB" /usr/share/doc/orv-frame-dev/copyright -rw-r--r--
has "$DEV_DEB" /usr/share/doc/orv-frame-dev/changelog.gz -rw-r--r--
has "$DEV_DEB" /usr/share/doc/orv-frame-dev/html/index.html -rw-r--r--
has "$DEV_DEB" /usr/share/doc/orv-frame-dev/guide.md -rw-r--r--
has "$DEV_DEB" /usr/share/doc/orv-frame-dev/examples/main.cpp -rw-r--r--
# Libraries in Debian's multiarch folder.
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
for name in liborvframe.a liborvvocab.a cmake/OrvFrame/OrvFrameConfig.cmake; do
    grep -qxF "/usr/lib/$multiarch/$name" <<<"$dev_list" || fail "orv-frame-dev lacks /usr/lib/$multiarch/$name"
done
unexpected=$(grep -E '^/usr/(bin|share)(/|$)|/Zk[^/]*\.h$|/ui_Zk' <<<"$dev_list" |
    grep -vE '^/usr/share(/doc(/orv-frame-dev(/.*)?)?|/doc-base(/orv-frame-dev)?)?$' || true)
[ -z "$unexpected" ] || fail "orv-frame-dev carries: $unexpected"

echo "== $(basename "$SEGY_DEB")"
dpkg-deb -f "$SEGY_DEB"
expect_field "$SEGY_DEB" Package orv-segy
expect_field "$SEGY_DEB" Version "$VERSION"
expect_field "$SEGY_DEB" Section science
expect_field "$SEGY_DEB" Maintainer "$MAINTAINER"
# A command-line tool: Qt Core and the C++ runtime, no GUI libraries.
segy_depends=$(sed 's/[,|]/\n/g' <<<"$(field "$SEGY_DEB" Depends)" | awk '{print $1}')
for lib in libc6 libstdc++6 libqt5core5a; do
    grep -qxF "$lib" <<<"$segy_depends" || fail "orv-segy's Depends lacks $lib"
done
if grep -qE '^libqt5(gui|widgets)' <<<"$segy_depends"; then
    fail "orv-segy depends on Qt GUI libraries: $(field "$SEGY_DEB" Depends)"
fi
has "$SEGY_DEB" /usr/bin/orv-segy -rwxr-xr-x
has "$SEGY_DEB" /usr/share/man/man1/orv-segy.1.gz -rw-r--r--
has "$SEGY_DEB" /usr/share/bash-completion/completions/orv-segy -rw-r--r--
has "$SEGY_DEB" /usr/share/doc/orv-segy/copyright -rw-r--r--
has "$SEGY_DEB" /usr/share/doc/orv-segy/changelog.gz -rw-r--r--
segy_paths=(/ /usr /usr/bin /usr/bin/orv-segy /usr/share /usr/share/man /usr/share/man/man1
    /usr/share/man/man1/orv-segy.1.gz /usr/share/bash-completion
    /usr/share/bash-completion/completions /usr/share/bash-completion/completions/orv-segy)
unexpected=$(listing "$SEGY_DEB" | grep -vxF -f <(printf '%s\n' "${segy_paths[@]}") |
    grep -vE '^/usr/share/doc(/|$)' || true)
[ -z "$unexpected" ] || fail "orv-segy carries: $unexpected"
# The packaged program runs, and its manual page reads.
rm -rf "$WORK/segy-root"
dpkg-deb -x "$SEGY_DEB" "$WORK/segy-root"
version=$("$WORK/segy-root/usr/bin/orv-segy" --version)
[ "$version" = "orv-segy $VERSION" ] || fail "orv-segy --version gives '$version'"
gzip -dc "$WORK/segy-root/usr/share/man/man1/orv-segy.1.gz" | grep -q '^\.SH EXIT STATUS' ||
    fail "orv-segy.1.gz is not the manual page"

echo "== $(basename "$LOUPE_DEB")"
dpkg-deb -f "$LOUPE_DEB"
expect_field "$LOUPE_DEB" Package orv-loupe
expect_field "$LOUPE_DEB" Version "$VERSION"
expect_field "$LOUPE_DEB" Section science
expect_field "$LOUPE_DEB" Maintainer "$MAINTAINER"
loupe_depends=$(sed 's/[,|]/\n/g' <<<"$(field "$LOUPE_DEB" Depends)" | awk '{print $1}')
for lib in libc6 libstdc++6 libqt5core5a libqt5gui5 libqt5widgets5; do
    grep -qxF "$lib" <<<"$loupe_depends" || fail "orv-loupe's Depends lacks $lib"
done
LOUPE_ID=com.tessavo.OrvLoupe
loupe_paths=(/usr/bin/orv-loupe "/usr/share/applications/$LOUPE_ID.desktop"
    "/usr/share/metainfo/$LOUPE_ID.metainfo.xml" "/usr/share/icons/hicolor/scalable/apps/$LOUPE_ID.svg"
    /usr/share/mime/packages/orv-loupe.xml /usr/share/thumbnailers/orv-loupe.thumbnailer
    /usr/share/man/man1/orv-loupe.1.gz /usr/share/doc/orv-loupe/copyright
    /usr/share/doc/orv-loupe/changelog.gz)
for size in 16 32 48 64 128 256; do
    loupe_paths+=("/usr/share/icons/hicolor/${size}x${size}/apps/$LOUPE_ID.png")
done
has "$LOUPE_DEB" /usr/bin/orv-loupe -rwxr-xr-x
for path in "${loupe_paths[@]:1}"; do
    has "$LOUPE_DEB" "$path" -rw-r--r--
done
# Nothing else but the folders above these files.
unexpected=$(listing "$LOUPE_DEB" | grep -vxF -f <(printf '%s\n' "${loupe_paths[@]}") |
    while read -r path; do
        printf '%s\n' "${loupe_paths[@]}" | grep -q "^$path/" || echo "$path"
    done)
[ -z "$unexpected" ] || fail "orv-loupe carries: $unexpected"
# No maintainer script: shared-mime-info, desktop-file-utils and the icon
# theme update their caches through their own triggers on these folders.
scripts=$(dpkg-deb -I "$LOUPE_DEB" | awk '$NF ~ /^(preinst|postinst|prerm|postrm|triggers)$/ {print $NF}')
[ -z "$scripts" ] || fail "orv-loupe has maintainer scripts: $scripts"
rm -rf "$WORK/loupe-root"
dpkg-deb -x "$LOUPE_DEB" "$WORK/loupe-root"
hardened "$WORK/loupe-root/usr/bin/orv-loupe"
gzip -dc "$WORK/loupe-root/usr/share/man/man1/orv-loupe.1.gz" | grep -q '^\.SH EXIT STATUS' ||
    fail "orv-loupe.1.gz is not the manual page"

# lintian on every package built: any error or warning fails, information
# tags are shown.
echo "== lintian"
for deb in "$WORK"/*.deb; do
    report=$(lintian --fail-on none --display-info --no-tag-display-limit "$deb" 2>"$WORK/lintian.err") ||
        { cat "$WORK/lintian.err" >&2; fail "lintian could not check $(basename "$deb")"; }
    echo "$(basename "$deb"): ${report:-no tags}"
    if grep -qE '^[EW]: ' <<<"$report"; then
        fail "lintian reports errors or warnings on $(basename "$deb")"
    fi
done

echo "Debian packages: all checks passed"
