#!/usr/bin/env bash
# Builds and runs ORV Vantor. With a display it runs until the user closes
# the window. Without one it starts the application on a virtual display,
# saves a screenshot of the window, presses the window's Close button and
# reports the exit status, as a real run would end.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

HEADLESS=0
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    HEADLESS=1
fi

if [ $HEADLESS -eq 1 ]; then
    ensure_packages "${BUILD_PACKAGES[@]}" xvfb xdotool imagemagick x11-utils
else
    ensure_packages "${BUILD_PACKAGES[@]}"
fi

BUILD="$ROOT/build"
configure_build "$BUILD" -DCMAKE_BUILD_TYPE=Release
cmake --build "$BUILD" --target orv-vantor -j "$JOBS"
APP="$BUILD/app/orv-vantor"

if [ $HEADLESS -eq 0 ]; then
    exec "$APP" "$@"
fi

# A free display number for the virtual screen.
N=99
while [ -e "/tmp/.X11-unix/X$N" ] || [ -e "/tmp/.X$N-lock" ]; do N=$((N + 1)); done
Xvfb ":$N" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
XVFB_PID=$!
APP_PID=
cleanup() {
    [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null || true
    kill "$XVFB_PID" 2>/dev/null || true
}
trap cleanup EXIT
export DISPLAY=":$N"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

"$APP" "$@" &
APP_PID=$!
WID=$(timeout 20 xdotool search --sync --onlyvisible --name '^ORV Vantor$' | head -n 1)
sleep 1 # let the first paint finish

eval "$(xdotool getwindowgeometry --shell "$WID")"
echo "Window \"ORV Vantor\" is at $X,$Y, size ${WIDTH}x${HEIGHT}"

SHOTS="$BUILD/screenshots"
mkdir -p "$SHOTS"
SHOT="$SHOTS/orv-vantor-$(date +%Y%m%d-%H%M%S).png"
import -window "$WID" "$SHOT"
echo "Screenshot: $SHOT"

# The Close button sits at 390,340 (91 x 24) in the window.
xdotool mousemove --window "$WID" 435 352 click 1
set +e
for _ in $(seq 100); do kill -0 "$APP_PID" 2>/dev/null || break; sleep 0.1; done
wait "$APP_PID"
STATUS=$?
set -e
APP_PID=
echo "orv-vantor exited with status $STATUS"
exit $STATUS
