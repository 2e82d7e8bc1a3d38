#!/usr/bin/env bash
# Installs a build of the frame into a fresh prefix, then configures, builds
# and runs the product in this folder against that prefix alone. Fails when
# the installed package lacks a header, a library or a dependency, carries
# what is not public, or when the product's checks or output are wrong.
#
# check-installed-frame.sh <build dir> <work dir> [cmake] [generator] [c++ compiler]
set -euo pipefail

BUILD=$1
WORK=$2
CMAKE=${3:-cmake}
GENERATOR=${4:-Ninja}
CXX_COMPILER=${5:-}
SRC=$(cd "$(dirname "$0")" && pwd)
PREFIX="$WORK/prefix"

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# run_logged <log> <command...>: runs quietly, shows the log on failure.
run_logged() {
    local log=$1
    shift
    if ! "$@" >"$log" 2>&1; then
        cat "$log" >&2
        fail "$* failed"
    fi
}

rm -rf "$WORK"
mkdir -p "$WORK"

echo "== cmake --install into $PREFIX"
run_logged "$WORK/install.log" "$CMAKE" --install "$BUILD" --prefix "$PREFIX"

echo "== public headers"
expected_headers="AppConsole.h CalendarChoices.h ConsoleProgress.h OrvAboutDlg.h OrvApp.h OrvConsole.h SampleFormats.h SegyFile.h SegyLayout.h SegyWriter.h TextUtils.h TraceHeaderNames.h ui_OrvAboutDlgUi.h"
[ -d "$PREFIX/include/orvframe" ] || fail "no include/orvframe in the prefix"
installed_headers=$(cd "$PREFIX/include/orvframe" && find . -type f | sed 's|^\./||' | LC_ALL=C sort | xargs)
[ "$installed_headers" = "$expected_headers" ] ||
    fail "installed headers are '$installed_headers', expected '$expected_headers'"

echo "== exported targets"
package_dir=$(dirname "$(find "$PREFIX" -name OrvFrameConfig.cmake -print -quit)")
[ -f "$package_dir/OrvFrameConfigVersion.cmake" ] || fail "no OrvFrameConfigVersion.cmake"
[ -f "$package_dir/OrvFrameTargets.cmake" ] || fail "no OrvFrameTargets.cmake"
# Neither the project's warning flags nor paths into the source or build
# tree may reach a product.
for leak in orv_build_flags -Wall "$(cd "$SRC/../.." && pwd)" "$(cd "$BUILD" && pwd)"; do
    if grep -rqF -- "$leak" "$package_dir"; then
        grep -rnF -- "$leak" "$package_dir" >&2
        fail "the installed CMake package mentions $leak"
    fi
done

echo "== configure and build the product"
compiler_arg=()
[ -n "$CXX_COMPILER" ] && compiler_arg=(-DCMAKE_CXX_COMPILER="$CXX_COMPILER")
run_logged "$WORK/configure.log" "$CMAKE" -S "$SRC" -B "$WORK/build" -G "$GENERATOR" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH="$PREFIX" "${compiler_arg[@]}"
found=$(sed -n 's/^OrvFrame_DIR:PATH=//p' "$WORK/build/CMakeCache.txt")
case "$found" in
"$PREFIX"/*) echo "OrvFrame found in $found" ;;
*) fail "OrvFrame was found in '$found', not in the prefix" ;;
esac
run_logged "$WORK/build.log" "$CMAKE" --build "$WORK/build" -j 2

echo "== the vocabulary alone"
"$WORK/build/orv-vocab-probe" || fail "orv-vocab-probe failed"
if command -v readelf >/dev/null; then
    needed=$(readelf -d "$WORK/build/orv-vocab-probe" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | xargs)
    echo "orv-vocab-probe needs: $needed"
    case " $needed " in
    *libQt5Core*) ;;
    *) fail "orv-vocab-probe does not link Qt Core" ;;
    esac
    case " $needed " in
    *libQt5Gui* | *libQt5Widgets*) fail "OrvFrame::Vocab brought more than Qt Core" ;;
    esac
fi

echo "== a SEG-Y file"
segy_out=$("$WORK/build/orv-segy-probe" 2>&1) || fail "orv-segy-probe failed: $segy_out"
expected_segy=$'3 traces of 4 samples, format ibm32\ninline 100 to 102, first sample 0'
[ "$segy_out" = "$expected_segy" ] || fail "orv-segy-probe printed '$segy_out'"
if command -v readelf >/dev/null; then
    case " $(readelf -d "$WORK/build/orv-segy-probe" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | xargs) " in
    *libQt5Gui* | *libQt5Widgets*) fail "OrvFrame::Segy brought more than Qt Core" ;;
    esac
fi

echo "== run the product"
mkdir -p "$WORK/run"
status=0
QT_QPA_PLATFORM=offscreen QT_QPA_PLATFORMTHEME='' \
    "$WORK/build/orv-probe" "$WORK/run/probe.log" >"$WORK/run/stdout.txt" 2>"$WORK/run/stderr.txt" ||
    status=$?
cat "$WORK/run/stdout.txt"
if [ -s "$WORK/run/stderr.txt" ]; then
    echo "-- stderr:"
    cat "$WORK/run/stderr.txt"
fi
[ "$status" -eq 0 ] || fail "orv-probe exited with status $status"

# Every message goes to standard output and, as the same line, to the
# console file named after the given file with its extension replaced.
cat >"$WORK/run/expected.txt" <<END
ORV Probe 1.2.3 started
ibm 0x41100000 -> 1
ibm 0xC2640000 -> -100
ebcdic C8 85 93 93 96 -> Hello
month 12 -> December
about dialog has its OK button
console file $WORK/run/probe.console
all checks passed
END
diff -u "$WORK/run/expected.txt" "$WORK/run/stdout.txt" || fail "unexpected standard output"
[ -f "$WORK/run/probe.console" ] || fail "no console file $WORK/run/probe.console"
diff -u "$WORK/run/expected.txt" "$WORK/run/probe.console" || fail "unexpected console file"
echo "installed frame: all checks passed"
