#!/usr/bin/env bash
# Installs a build of the frame into a fresh prefix, then configures, builds
# and runs against that prefix alone: the product in this folder, products
# that ask for single components, and the first product of the developer's
# guide, taken from the guide's own code blocks. Fails when the installed
# package lacks a header, a library or a dependency, carries what is not
# public, or when a product warns, fails or prints what it should not.
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
expected_headers="AppConsole.h CalendarChoices.h ConsoleProgress.h OrvAboutDlg.h OrvApp.h OrvConsole.h SampleFormats.h SegyCheck.h SegyFile.h SegyGeometry.h SegyLayout.h SegyWriter.h SegyZarr.h TextUtils.h TraceHeaderNames.h ZarrArray.h ui_OrvAboutDlgUi.h"
[ -d "$PREFIX/include/orvframe" ] || fail "no include/orvframe in the prefix"
installed_headers=$(cd "$PREFIX/include/orvframe" && find . -type f | sed 's|^\./||' | LC_ALL=C sort | xargs)
[ "$installed_headers" = "$expected_headers" ] ||
    fail "installed headers are '$installed_headers', expected '$expected_headers'"

echo "== exported targets"
package_dir=$(dirname "$(find "$PREFIX" -name OrvFrameConfig.cmake -print -quit)")
[ -f "$package_dir/OrvFrameConfigVersion.cmake" ] || fail "no OrvFrameConfigVersion.cmake"
for component in Vocab Frame; do
    [ -f "$package_dir/OrvFrame${component}Targets.cmake" ] || fail "no OrvFrame${component}Targets.cmake"
done
# Neither the project's warning and hardening flags nor paths into the
# source or build tree may reach a product.
for leak in orv_build_flags -Wall -fstack-protector _FORTIFY_SOURCE relro -pie \
    "$(cd "$SRC/../.." && pwd)" "$(cd "$BUILD" && pwd)"; do
    if grep -rqF -- "$leak" "$package_dir"; then
        grep -rnF -- "$leak" "$package_dir" >&2
        fail "the installed CMake package mentions $leak"
    fi
done

echo "== components"
# components <row> <expected report line or "fails: <text>"> [cmake args...]: configures the
# project in components/ against the prefix and compares what the package loaded.
components() {
    local row=$1 expected=$2
    shift 2
    local dir="$WORK/components-$row" status=0
    "$CMAKE" -S "$SRC/components" -B "$dir" -G "$GENERATOR" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_PREFIX_PATH="$PREFIX" "${compiler_arg[@]}" "$@" >"$dir.log" 2>&1 || status=$?
    case "$expected" in
    fails:*)
        [ "$status" -ne 0 ] || { cat "$dir.log" >&2; fail "components $row: configured, expected to fail"; }
        grep -qF -- "${expected#fails: }" "$dir.log" ||
            { cat "$dir.log" >&2; fail "components $row: the failure does not say '${expected#fails: }'"; }
        ;;
    *)
        [ "$status" -eq 0 ] || { cat "$dir.log" >&2; fail "components $row: configure failed"; }
        local got
        got=$(sed -n 's/^-- loaded: //p' "$dir.log")
        [ "$got" = "$expected" ] || fail "components $row: loaded '$got', expected '$expected'"
        ;;
    esac
    echo "$row: ok"
}
compiler_arg=()
[ -n "$CXX_COMPILER" ] && compiler_arg=(-DCMAKE_CXX_COMPILER="$CXX_COMPILER")
# Qt's Gui and Widgets packages switched off: were they searched, configuring would fail.
no_widgets=(-DCMAKE_DISABLE_FIND_PACKAGE_Qt5Gui=ON -DCMAKE_DISABLE_FIND_PACKAGE_Qt5Widgets=ON)
# The SEG-Y library is a component only where it was built and installed.
if [ -f "$package_dir/OrvFrameZarrTargets.cmake" ]; then
    components all "Vocab Frame Segy Zarr | Qt: Core Gui Widgets | optional found: "
    components segy "Vocab Segy | Qt: Core | optional found: " -DORV_ASK=Segy "${no_widgets[@]}"
    components zarr "Vocab Segy Zarr | Qt: Core | optional found: " -DORV_ASK=Zarr "${no_widgets[@]}"
    components segy-optional "Vocab Segy | Qt: Core | optional found: Segy" -DORV_ASK=Vocab \
        -DORV_OPTIONAL=Segy "${no_widgets[@]}"
elif [ -f "$package_dir/OrvFrameSegyTargets.cmake" ]; then
    components all "Vocab Frame Segy | Qt: Core Gui Widgets | optional found: "
    components segy "Vocab Segy | Qt: Core | optional found: " -DORV_ASK=Segy "${no_widgets[@]}"
    components segy-optional "Vocab Segy | Qt: Core | optional found: Segy" -DORV_ASK=Vocab \
        -DORV_OPTIONAL=Segy "${no_widgets[@]}"
else
    components all "Vocab Frame | Qt: Core Gui Widgets | optional found: "
    components segy "fails: component(s) Segy not installed" -DORV_ASK=Segy
    components segy-optional "Vocab | Qt: Core | optional found: " -DORV_ASK=Vocab -DORV_OPTIONAL=Segy
fi
components frame "Vocab Frame | Qt: Core Gui Widgets | optional found: " -DORV_ASK=Frame
components vocab "Vocab | Qt: Core | optional found: " -DORV_ASK=Vocab "${no_widgets[@]}"
components unknown "fails: component(s) Widgets not installed" -DORV_ASK=Widgets

echo "== the vocabulary alone"
run_logged "$WORK/components-vocab-build.log" "$CMAKE" --build "$WORK/components-vocab" -j 2
"$WORK/components-vocab/orv-vocab-probe" || fail "orv-vocab-probe failed"
if command -v readelf >/dev/null; then
    needed=$(readelf -d "$WORK/components-vocab/orv-vocab-probe" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | xargs)
    echo "orv-vocab-probe needs: $needed"
    case " $needed " in
    *libQt5Core*) ;;
    *) fail "orv-vocab-probe does not link Qt Core" ;;
    esac
    case " $needed " in
    *libQt5Gui* | *libQt5Widgets*) fail "OrvFrame::Vocab brought more than Qt Core" ;;
    esac
fi

echo "== a SEG-Y file, with the SEG-Y library alone"
run_logged "$WORK/components-segy-build.log" "$CMAKE" --build "$WORK/components-segy" -j 2
segy_out=$("$WORK/components-segy/orv-segy-probe" "$WORK/probe.sgy" 2>&1) || fail "orv-segy-probe failed: $segy_out"
expected_segy=$'3 traces of 4 samples, format ibm32\ninline 100 to 102, first sample 0'
[ "$segy_out" = "$expected_segy" ] || fail "orv-segy-probe printed '$segy_out'"
if command -v readelf >/dev/null; then
    case " $(readelf -d "$WORK/components-segy/orv-segy-probe" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | xargs) " in
    *libQt5Gui* | *libQt5Widgets*) fail "OrvFrame::Segy brought more than Qt Core" ;;
    esac
fi

if [ -d "$WORK/components-zarr" ]; then
    echo "== a Zarr store, with the Zarr library"
    run_logged "$WORK/components-zarr-build.log" "$CMAKE" --build "$WORK/components-zarr" -j 2
    zarr_out=$("$WORK/components-zarr/orv-zarr-probe" "$WORK" 2>&1) || fail "orv-zarr-probe failed: $zarr_out"
    [ "$zarr_out" = "exported and imported: same" ] || fail "orv-zarr-probe printed '$zarr_out'"
fi

echo "== configure and build the product"
run_logged "$WORK/configure.log" "$CMAKE" -S "$SRC" -B "$WORK/build" -G "$GENERATOR" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH="$PREFIX" "${compiler_arg[@]}"
found=$(sed -n 's/^OrvFrame_DIR:PATH=//p' "$WORK/build/CMakeCache.txt")
case "$found" in
"$PREFIX"/*) echo "OrvFrame found in $found" ;;
*) fail "OrvFrame was found in '$found', not in the prefix" ;;
esac
run_logged "$WORK/build.log" "$CMAKE" --build "$WORK/build" -j 2
if grep -q 'warning:' "$WORK/build.log"; then
    cat "$WORK/build.log" >&2
    fail "the product compiles with warnings (-Wall -Wextra -Wpedantic)"
fi

echo "== the guide's first product"
# Every code block of the guide whose first line is a file name comment
# ("// MyApp.h", "# CMakeLists.txt") becomes that file.
GUIDE="$SRC/../../doc/guide.md"
FIRST="$WORK/first"
mkdir -p "$FIRST/src" "$FIRST/run"
awk -v dir="$FIRST/src" '
    /^```/ && out != "" { close(out); out = ""; inblock = 0; next }
    /^```/ { inblock = !inblock; first = 1; next }
    inblock && first {
        first = 0
        if (match($0, /^(\/\/|#) [A-Za-z]+(\.h|\.cpp|\.txt)$/)) { out = dir "/" substr($0, index($0, " ") + 1) }
    }
    out != "" { print > out }
' "$GUIDE"
first_files=$(cd "$FIRST/src" && find . -type f | sed 's|^\./||' | LC_ALL=C sort | xargs)
[ "$first_files" = "CMakeLists.txt MyApp.cpp MyApp.h main.cpp" ] ||
    fail "the guide's first product has the files '$first_files'"
run_logged "$FIRST/configure.log" "$CMAKE" -S "$FIRST/src" -B "$FIRST/build" -G "$GENERATOR" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH="$PREFIX" "${compiler_arg[@]}"
run_logged "$FIRST/build.log" "$CMAKE" --build "$FIRST/build" -j 2
if grep -q 'warning:' "$FIRST/build.log"; then
    cat "$FIRST/build.log" >&2
    fail "the guide's first product compiles with warnings"
fi
# It runs until its window closes: still running after a few seconds, it is
# stopped, and its console file shows that it started.
status=0
QT_QPA_PLATFORM=offscreen QT_QPA_PLATFORMTHEME='' XDG_CONFIG_HOME="$FIRST/config" \
    timeout 5 "$FIRST/build/my-product" "$FIRST/run/session.log" >"$FIRST/run/output.txt" 2>&1 ||
    status=$?
[ "$status" -eq 124 ] || { cat "$FIRST/run/output.txt" >&2; fail "my-product ended with status $status before it was stopped"; }
[ "$(cat "$FIRST/run/session.console" 2>/dev/null)" = "My Product 1.0.0 started" ] ||
    fail "my-product's console file is '$(cat "$FIRST/run/session.console" 2>/dev/null)'"
echo "my-product ran until stopped; console file: $(cat "$FIRST/run/session.console")"

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
  * Debug:   debug level 2
ibm 0x41100000 -> 1
ibm 0xC2640000 -> -100
ebcdic C8 85 93 93 96 -> Hello
month 12 -> December
about dialog has its OK button
progress: Checking traces: 2500 traces, 2500 updates, last 2500, cleared 1
worker: trace 1000 of 2000
worker: trace 2000 of 2000
  * Debug:   worker: done
progress from the worker: Worker traces: 2000 traces, 2 updates, last 2000, cleared 1
console file $WORK/run/probe.console
all checks passed
END
diff -u "$WORK/run/expected.txt" "$WORK/run/stdout.txt" || fail "unexpected standard output"
[ -f "$WORK/run/probe.console" ] || fail "no console file $WORK/run/probe.console"
diff -u "$WORK/run/expected.txt" "$WORK/run/probe.console" || fail "unexpected console file"
echo "installed frame: all checks passed"
