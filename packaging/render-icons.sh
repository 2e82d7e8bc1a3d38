#!/usr/bin/env bash
# Renders the applications' icon sizes from their SVGs into the hicolor tree
# beside them. The PNGs are committed; run this after editing an SVG.
set -euo pipefail
source "$(dirname "$0")/../scripts/lib.sh"

ensure_packages librsvg2-bin

ICONS="$ROOT/packaging/icons/hicolor"
for id in com.tessavo.OrvVantor com.tessavo.OrvLoupe; do
    SVG="$ICONS/scalable/apps/$id.svg"
    for size in 16 32 48 64 128 256; do
        mkdir -p "$ICONS/${size}x${size}/apps"
        rsvg-convert -w "$size" -h "$size" "$SVG" -o "$ICONS/${size}x${size}/apps/$id.png"
    done
done
