#!/usr/bin/env bash
# Builds and runs the whole test suite twice: a normal Release build (with
# the exhaustive conversion checks) and an AddressSanitizer +
# UndefinedBehaviorSanitizer build. Then runs the fuzz target for a bounded
# number of inputs and checks the formatting. Fails if any stage fails.
set -uo pipefail
source "$(dirname "$0")/lib.sh"

# xvfb, xdotool, imagemagick and x11-utils: the viewer's session test on a virtual display;
# xdg-utils, libfile-mimeinfo-perl and shared-mime-info: the MIME type check of the packages.
ensure_packages "${BUILD_PACKAGES[@]}" clang libclang-rt-14-dev desktop-file-utils appstream dpkg-dev lintian \
    xvfb xdotool imagemagick x11-utils xdg-utils libfile-mimeinfo-perl shared-mime-info || exit 1

LOGS="$ROOT/build-logs"
mkdir -p "$LOGS"
FAILED_STAGES=()
PASSED=0
FAILED=0

# run_ctest <name> <build dir> [ctest args...]
run_ctest() {
    local name=$1 dir=$2
    shift 2
    local log="$LOGS/$name.log"
    ( cd "$dir" && ctest --output-on-failure -j "$JOBS" "$@" ) 2>&1 | tee "$log"
    local status=${PIPESTATUS[0]}
    local line
    line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
    if [ -n "$line" ]; then
        local failed total
        failed=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
        total=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/' <<<"$line")
        PASSED=$((PASSED + total - failed))
        FAILED=$((FAILED + failed))
    fi
    [ "$status" -eq 0 ] || FAILED_STAGES+=("$name")
}

# stage <name> <command...>: a build or check step outside ctest.
stage() {
    local name=$1
    shift
    echo "== $name"
    if ! "$@"; then
        FAILED_STAGES+=("$name")
        return 1
    fi
}

echo "== normal build"
if stage "configure normal" configure_build "$ROOT/build" -DCMAKE_BUILD_TYPE=Release &&
   stage "build normal" cmake --build "$ROOT/build" -j "$JOBS"; then
    run_ctest normal "$ROOT/build"
fi

echo "== sanitizer build (ASan + UBSan)"
if stage "configure sanitizer" configure_build "$ROOT/build-asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DORV_SANITIZE=ON -DORV_BUILD_BENCH=OFF &&
   stage "build sanitizer" cmake --build "$ROOT/build-asan" -j "$JOBS"; then
    # The exhaustive checks walk all 2^32 words, and the package checks install
    # and package the finished build; both run in the normal build only.
    run_ctest sanitizer "$ROOT/build-asan" -LE "exhaustive|package"
fi

stage "fuzz" bash "$ROOT/scripts/fuzz.sh" "$ROOT/build-fuzz"
stage "format" bash "$ROOT/scripts/check-format.sh"

echo
if [ ${#FAILED_STAGES[@]} -gt 0 ]; then
    echo "Failed stages: ${FAILED_STAGES[*]}"
fi
echo "tests: $PASSED passed, $FAILED failed"
[ ${#FAILED_STAGES[@]} -eq 0 ] && [ "$FAILED" -eq 0 ]
