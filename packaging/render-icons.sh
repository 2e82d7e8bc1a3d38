#!/usr/bin/env bash
# Renders the application icon's PNG sizes from its SVG into the hicolor
# tree beside it. The PNGs are committed; run this after editing the SVG.
set -euo pipefail
source "$(dirname "$0")/../scripts/lib.sh"

ensure_packages librsvg2-bin

ICONS="$ROOT/packaging/icons/hicolor"
SVG="$ICONS/scalable/apps/com.tessavo.OrvVantor.svg"
for size in 16 32 48 64 128 256; do
    mkdir -p "$ICONS/${size}x${size}/apps"
    rsvg-convert -w "$size" -h "$size" "$SVG" -o "$ICONS/${size}x${size}/apps/com.tessavo.OrvVantor.png"
done
