#!/usr/bin/env bash
# ORV Loupe's start against ORV Vantor's, measured the same way (process start to the end of
# the first paint of the content, start_paint_probe), five runs each, alternating, on a
# virtual display; then ORV Loupe's resident memory while it pages through inlines,
# crosslines and time slices. The 500 x 500 x 1000 IBM cube (1.06 GB) is written into /tmp and
# removed at the end, unless given.
#
# bench/bench-loupe-start.sh BUILD_DIR [CUBE]
set -euo pipefail
BUILD=${1:?usage: bench-loupe-start.sh BUILD_DIR [CUBE]}
CUBE=${2:-}
KEEP=1
if [ -z "$CUBE" ]; then
    CUBE=/tmp/orv-bench-loupe-start.sgy
    KEEP=0
    "$BUILD/bench/make_segy_file" "$CUBE" 250000 1000 500
fi
N=95
while [ -e "/tmp/.X11-unix/X$N" ] || [ -e "/tmp/.X$N-lock" ]; do N=$((N + 1)); done
Xvfb ":$N" -screen 0 1920x1200x24 -nolisten tcp >/dev/null 2>&1 &
XVFB=$!
cleanup() {
    kill "$XVFB" 2>/dev/null || true
    [ "$KEEP" -eq 1 ] || rm -f "$CUBE"
}
trap cleanup EXIT
export DISPLAY=":$N" QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME=/tmp/orv-bench-loupe-config
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
cat "$CUBE" >/dev/null # into the page cache
PROBE="$BUILD/bench/start_paint_probe"
for _ in 1 2 3 4 5; do
    ORV_START_NS=$(date +%s%N) "$PROBE" vantor
    ORV_START_NS=$(date +%s%N) "$PROBE" loupe "$CUBE"
done
ORV_START_NS=$(date +%s%N) "$PROBE" loupe "$CUBE" --pages
