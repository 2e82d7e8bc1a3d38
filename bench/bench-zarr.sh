#!/usr/bin/env bash
# Speed of orv-segy export and import and of time slices from the store, run by hand (not by the
# test command), on a 500 x 500 x 1000 big-endian IBM cube (1.06 GB) made by make_segy_file and
# read twice to warm the page cache. Ratios are taken in the same run, each figure the best of
# five (the three commands interleaved, each after a sync with the earlier outputs removed):
#   export (default chunks, lz4) against convert --format 5 of the same file: target at most 3;
#   import of the store against the same convert: target at most 2;
#   a time slice through xarray from the store against the same slice through xarray over a
#   NumPy memory map of the file's traces: target at least 20 times faster.
# Everything written is removed at the end.
#
# bench-zarr.sh [build dir] [work dir] [export options...]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)

BUILD=${1:-$ROOT/build}
WORK=${2:-/tmp/orv-bench-zarr}
shift $(($# > 2 ? 2 : $#))
INLINES=500
CROSSLINES=500
SAMPLES=1000
SLICE=500
PYTHON=/usr/bin/python3

cmake --build "$BUILD" -j 2 --target orv-segy make_segy_file >/dev/null
TOOL="$BUILD/segytool/orv-segy"
IN="$WORK/cube.sgy"
mkdir -p "$WORK"
cleanup() {
    rm -rf "$IN" "$WORK/ieee.sgy" "$WORK/back.sgy" "$WORK/cube.zarr"
    rmdir "$WORK" 2>/dev/null || true
}
trap cleanup EXIT

echo "making $IN ($INLINES x $CROSSLINES traces of $SAMPLES samples)"
"$BUILD/bench/make_segy_file" "$IN" $((INLINES * CROSSLINES)) "$SAMPLES" "$CROSSLINES"
cat "$IN" >/dev/null
cat "$IN" >/dev/null

nanoseconds() {
    local start
    start=$(date +%s%N)
    "$@"
    echo $(($(date +%s%N) - start))
}

best() {
    printf '%s\n' "$@" | sort -n | head -n 1
}

# Each command starts alike: the previous outputs removed (their pages dropped, not flushed) and
# the disk synced.
timed() {
    sync
    nanoseconds "$@"
}

convert_times=()
export_times=()
import_times=()
for run in 1 2 3 4 5; do
    convert_times+=("$(timed "$TOOL" convert --format 5 "$IN" "$WORK/ieee.sgy")")
    rm -f "$WORK/ieee.sgy"
    rm -rf "$WORK/cube.zarr"
    export_times+=("$(timed "$TOOL" export "$@" "$IN" "$WORK/cube.zarr")")
    import_times+=("$(timed "$TOOL" import "$WORK/cube.zarr" "$WORK/back.sgy")")
    if [ "$run" -eq 1 ]; then
        cmp "$IN" "$WORK/back.sgy" || { echo "the imported file differs from the input" >&2; exit 1; }
    fi
    rm -f "$WORK/back.sgy"
done
store_bytes=$(du -sb "$WORK/cube.zarr" | cut -f1)
read -r _ store_slice < <("$PYTHON" "$ROOT/bench/time_slice.py" "$WORK/cube.zarr" "$IN" \
    "$INLINES" "$CROSSLINES" "$SAMPLES" "$SLICE" | grep '^store')
read -r _ memmap_slice < <("$PYTHON" "$ROOT/bench/time_slice.py" "$WORK/cube.zarr" "$IN" \
    "$INLINES" "$CROSSLINES" "$SAMPLES" "$SLICE" | grep '^memmap')

printf 'file: %s bytes; store: %s bytes (export options: %s)\n' "$(stat -c %s "$IN")" \
    "$store_bytes" "${*:-none}"
awk -v convert="$(best "${convert_times[@]}")" -v export="$(best "${export_times[@]}")" \
    -v import="$(best "${import_times[@]}")" -v store="$store_slice" -v memmap="$memmap_slice" \
    'BEGIN {
    printf "orv-segy convert --format 5:  %.3f s\n", convert / 1e9
    printf "orv-segy export:              %.3f s  (%.2f x convert; target at most 3)\n",
        export / 1e9, export / convert
    printf "orv-segy import:              %.3f s  (%.2f x convert; target at most 2)\n",
        import / 1e9, import / convert
    printf "time slice, store (xarray):   %.4f s\n", store
    printf "time slice, memmap (xarray):  %.4f s  (store %.1f x faster; target at least 20)\n",
        memmap, memmap / store
}'
