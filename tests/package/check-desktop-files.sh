#!/usr/bin/env bash
# Installs each application's component into a fresh prefix and checks its
# desktop integration there: the desktop entry and the AppStream data pass
# their validators, the entry's command and icon are installed, every
# hicolor PNG has its folder's size, the newest release is this version, and
# the MIME types the entry claims are the ones the AppStream data lists, each
# defined by a shared-mime-info package the component installs.
#
# check-desktop-files.sh <build dir> <work dir> <version> [cmake]
set -euo pipefail

BUILD=$1
WORK=$2
VERSION=$3
CMAKE=${4:-cmake}

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

command -v desktop-file-validate >/dev/null ||
    fail "desktop-file-validate is missing: install desktop-file-utils (scripts/test.sh does)"
command -v appstreamcli >/dev/null ||
    fail "appstreamcli is missing: install appstream (scripts/test.sh does)"

# entry_value <key>: the value of the key in the desktop entry being checked.
entry_value() {
    sed -n "s/^$1=//p" "$DESKTOP" | head -n 1
}

# check_app <component> <application id>
check_app() {
    local component=$1 APP_ID=$2
    local PREFIX="$WORK/$component"
    echo "=== $APP_ID (component $component)"
    "$CMAKE" --install "$BUILD" --prefix "$PREFIX" --component "$component" >"$WORK/install.log" 2>&1 ||
        { cat "$WORK/install.log" >&2; fail "cmake --install failed"; }

    DESKTOP="$PREFIX/share/applications/$APP_ID.desktop"
    METAINFO="$PREFIX/share/metainfo/$APP_ID.metainfo.xml"
    [ -f "$DESKTOP" ] || fail "no desktop entry at $DESKTOP"
    [ -f "$METAINFO" ] || fail "no AppStream metainfo at $METAINFO"

    echo "== desktop-file-validate"
    out=$(desktop-file-validate "$DESKTOP" 2>&1) || { echo "$out"; fail "desktop-file-validate failed"; }
    # It exits 0 on hints and warnings too; only a silent run counts.
    [ -z "$out" ] || { echo "$out"; fail "desktop-file-validate reported problems"; }

    echo "== appstreamcli validate --no-net"
    out=$(appstreamcli validate --no-net "$METAINFO" 2>&1) || { echo "$out"; fail "appstreamcli validate failed"; }
    echo "$out"
    # Errors and warnings fail the run; infos (a missing content rating, say)
    # count here too. Pedantic notes such as the upper-case letters of the
    # reverse-DNS id do not.
    if grep -qE '^[EWI]:' <<<"$out"; then
        fail "appstreamcli reported problems"
    fi

    echo "== command and icon"
    exec_command=$(entry_value Exec | cut -d' ' -f1)
    [ -x "$PREFIX/bin/$exec_command" ] || fail "Exec=$exec_command is not installed in bin/"
    icon=$(entry_value Icon)
    [ "$icon" = "$APP_ID" ] || fail "Icon=$icon, expected $APP_ID"
    [ -f "$PREFIX/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no scalable icon"
    for size in 16 32 48 64 128 256; do
        png="$PREFIX/share/icons/hicolor/${size}x${size}/apps/$icon.png"
        [ -f "$png" ] || fail "no ${size}x${size} icon"
        # PNG signature, then the IHDR chunk: width and height, 4 bytes each, big-endian.
        read -r -a head <<<"$(od -An -tu1 -N24 "$png" | tr "\n" " ")"
        [ "${head[1]} ${head[2]} ${head[3]}" = "80 78 71" ] || fail "$png is not a PNG"
        width=$(((head[16] << 24) | (head[17] << 16) | (head[18] << 8) | head[19]))
        height=$(((head[20] << 24) | (head[21] << 16) | (head[22] << 8) | head[23]))
        if [ "$width" -ne "$size" ] || [ "$height" -ne "$size" ]; then
            fail "the ${size}x${size} icon is ${width}x${height}"
        fi
    done

    echo "== metainfo against the entry and the version"
    grep -q "<id>$APP_ID</id>" "$METAINFO" || fail "metainfo id is not $APP_ID"
    grep -q "<launchable type=\"desktop-id\">$APP_ID.desktop</launchable>" "$METAINFO" ||
        fail "metainfo does not launch $APP_ID.desktop"
    newest=$(grep -o '<release [^>]*version="[^"]*"' "$METAINFO" | head -n 1 | sed 's/.*version="//; s/"$//')
    [ "$newest" = "$VERSION" ] || fail "newest release in the metainfo is '$newest', the project is $VERSION"

    echo "== MIME types"
    local claimed provided
    claimed=$(entry_value MimeType | tr ';' '\n' | sed '/^$/d' | sort)
    provided=$(sed -n 's|.*<mediatype>\(.*\)</mediatype>.*|\1|p' "$METAINFO" | sort)
    [ "$claimed" = "$provided" ] ||
        fail "the entry claims '${claimed//$'\n'/ }', the metainfo lists '${provided//$'\n'/ }'"
    local type
    for type in $claimed; do
        grep -qs "<mime-type type=\"$type\"" "$PREFIX"/share/mime/packages/*.xml ||
            fail "no MIME package of the component defines $type"
    done
}

rm -rf "$WORK"
mkdir -p "$WORK"
check_app app com.tessavo.OrvVantor
check_app loupe com.tessavo.OrvLoupe
echo "desktop integration: all checks passed"
