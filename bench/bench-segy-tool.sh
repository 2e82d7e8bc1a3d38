#!/usr/bin/env bash
# Speed of orv-segy on a 1 GiB file, run by hand (not by the test command):
#   convert of a big-endian IBM file to IEEE, against cp of the same file in the same run;
#   headers --fields 189,193 --csv over its 1 million traces, into /dev/null;
#   check of the file (every header and sample, and the geometry), against the same cp.
# The input is made once by make_segy_file (1,000,000 traces of 209 samples: 1.002 GiB), read
# twice to warm the page cache; each figure is the best of three runs. Everything written is
# removed at the end unless --keep is given.
#
# bench-segy-tool.sh [--keep] [build dir] [work dir]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)

KEEP=0
if [ "${1:-}" = "--keep" ]; then
    KEEP=1
    shift
fi
BUILD=${1:-$ROOT/build}
WORK=${2:-$BUILD/bench-segy}
TRACES=1000000
SAMPLES=209

cmake --build "$BUILD" -j 2 --target orv-segy make_segy_file >/dev/null
TOOL="$BUILD/segytool/orv-segy"
IN="$WORK/ibm.sgy"
mkdir -p "$WORK"
cleanup() {
    rm -f "$WORK/copy.sgy" "$WORK/ieee.sgy"
    if [ "$KEEP" -eq 0 ]; then
        rm -f "$IN"
        rmdir "$WORK" 2>/dev/null || true
    fi
}
trap cleanup EXIT

if [ ! -f "$IN" ]; then
    echo "making $IN ($TRACES traces of $SAMPLES samples)"
    "$BUILD/bench/make_segy_file" "$IN" "$TRACES" "$SAMPLES"
fi
cat "$IN" >/dev/null
cat "$IN" >/dev/null

# nanoseconds <command...>: wall time of one run.
nanoseconds() {
    local start
    start=$(date +%s%N)
    "$@"
    echo $(($(date +%s%N) - start))
}

best() {
    printf '%s\n' "$@" | sort -n | head -n 1
}

headers_csv() {
    "$TOOL" headers --fields 189,193 --csv "$IN" >/dev/null
}

check_file() {
    "$TOOL" check "$IN" >/dev/null
}

cp_times=()
convert_times=()
headers_times=()
check_times=()
for _ in 1 2 3; do
    rm -f "$WORK/copy.sgy" "$WORK/ieee.sgy"
    cp_times+=("$(nanoseconds cp "$IN" "$WORK/copy.sgy")")
    convert_times+=("$(nanoseconds "$TOOL" convert --format 5 "$IN" "$WORK/ieee.sgy")")
    headers_times+=("$(nanoseconds headers_csv)")
    check_times+=("$(nanoseconds check_file)")
done
rows=$("$TOOL" headers --fields 189,193 --csv "$IN" | wc -l)

cp_best=$(best "${cp_times[@]}")
convert_best=$(best "${convert_times[@]}")
headers_best=$(best "${headers_times[@]}")
check_best=$(best "${check_times[@]}")
printf 'file: %s bytes, %d traces (%d CSV rows with the header row)\n' \
    "$(stat -c %s "$IN")" "$TRACES" "$rows"
awk -v cp="$cp_best" -v convert="$convert_best" -v headers="$headers_best" \
    -v check="$check_best" 'BEGIN {
    printf "cp:                                       %.3f s\n", cp / 1e9
    printf "orv-segy convert --format 5:              %.3f s  (%.2f x cp; target at most 1.5)\n",
        convert / 1e9, convert / cp
    printf "orv-segy headers --fields 189,193 --csv:  %.3f s  (target under 1 s)\n", headers / 1e9
    printf "orv-segy check:                           %.3f s  (%.2f x cp)\n", check / 1e9,
        check / cp
}'
