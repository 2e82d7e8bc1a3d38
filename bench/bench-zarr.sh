#!/usr/bin/env bash
# Speed of orv-segy export and import and of time slices from the store, run by hand (not by the
# test command), on a 500 x 500 x 1000 big-endian IBM cube (1.06 GB) made by make_segy_file and
# read twice to warm the page cache. Ratios are taken in the same run, each figure the best of
# five (the three commands interleaved, each after a sync with the earlier outputs removed):
#   export (default chunks, lz4) against convert --format 5 of the same file: target at most 3;
#   import of the store against the same convert: target at most 2;
#   a time slice through xarray from the store against the same slice through xarray over a
#   NumPy memory map of the file's traces: target at least 20 times faster (also from stores
#   chunked thinner along the samples, 64,64,16 and 128,128,4).
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
    rm -rf "$IN" "$WORK/ieee.sgy" "$WORK/back.sgy" "$WORK/cube.zarr" "$WORK/thin.zarr" "$WORK/time.txt"
    rmdir "$WORK" 2>/dev/null || true
}
trap cleanup EXIT

echo "making $IN ($INLINES x $CROSSLINES traces of $SAMPLES samples)"
"$BUILD/bench/make_segy_file" "$IN" $((INLINES * CROSSLINES)) "$SAMPLES" "$CROSSLINES"
cat "$IN" >/dev/null
cat "$IN" >/dev/null

# measure <command...>: "WALL CPU" seconds of one run, CPU being user + system time of the
# command and its threads. On a machine shared with other work the CPU time varies less.
measure() {
    sync
    /usr/bin/time -f "%e %U %S" -o "$WORK/time.txt" "$@"
    awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' "$WORK/time.txt"
}

# best <"WALL CPU"...>: the smallest wall time and the smallest CPU time.
best() {
    printf '%s\n' "$@" | awk 'NR == 1 || $1 < w { w = $1 } NR == 1 || $2 < c { c = $2 } END { print w, c }'
}

# Each command starts alike: the previous outputs removed (their pages dropped, not flushed) and
# the disk synced.
convert_times=()
export_times=()
import_times=()
for run in 1 2 3 4 5; do
    convert_times+=("$(measure "$TOOL" convert --format 5 "$IN" "$WORK/ieee.sgy")")
    rm -f "$WORK/ieee.sgy"
    rm -rf "$WORK/cube.zarr"
    export_times+=("$(measure "$TOOL" export "$@" "$IN" "$WORK/cube.zarr")")
    import_times+=("$(measure "$TOOL" import "$WORK/cube.zarr" "$WORK/back.sgy")")
    if [ "$run" -eq 1 ]; then
        cmp "$IN" "$WORK/back.sgy" || { echo "the imported file differs from the input" >&2; exit 1; }
    fi
    rm -f "$WORK/back.sgy"
done
store_bytes=$(du -sb "$WORK/cube.zarr" | cut -f1)
printf "file: %s bytes; store: %s bytes (export options: %s)\n" "$(stat -c %s "$IN")" "$store_bytes" "${*:-none}"
# slices <store>: "STORE STORE_WITH_OPEN MEMMAP MEMMAP_WITH_OPEN" seconds of a time slice.
slices() {
    "$PYTHON" "$ROOT/bench/time_slice.py" "$1" "$IN" "$INLINES" "$CROSSLINES" "$SAMPLES" "$SLICE" |
        awk '{ printf "%s %s ", $2, $3 } END { print "" }'
}
read -r store_slice store_open memmap_slice memmap_open < <(slices "$WORK/cube.zarr")
# The same slice from stores chunked thinner along the samples.
thin_lines=()
for chunks in 64,64,16 128,128,4; do
    rm -rf "$WORK/thin.zarr"
    "$TOOL" export --chunks "$chunks" "$IN" "$WORK/thin.zarr"
    read -r s so m mo < <(slices "$WORK/thin.zarr")
    thin_lines+=("$(awk -v c="$chunks" -v s="$s" -v so="$so" -v m="$m" -v mo="$mo" 'BEGIN {
        printf "time slice, chunks %-10s store %.4f s (%.1f x faster), with the opening %.4f s (%.1f x)",
            c, s, m / s, so, mo / so }')")
done
rm -rf "$WORK/thin.zarr"
read -r convert_wall convert_cpu < <(best "${convert_times[@]}")
read -r export_wall export_cpu < <(best "${export_times[@]}")
read -r import_wall import_cpu < <(best "${import_times[@]}")
awk -v cw="$convert_wall" -v cc="$convert_cpu" -v ew="$export_wall" -v ec="$export_cpu" \
    -v iw="$import_wall" -v ic="$import_cpu" -v store="$store_slice" -v memmap="$memmap_slice" \
    -v storeOpen="$store_open" -v memmapOpen="$memmap_open" \
    'BEGIN {
    printf "                              wall             CPU (user + system)\n"
    printf "orv-segy convert --format 5:  %6.3f s          %6.3f s\n", cw, cc
    printf "orv-segy export:              %6.3f s %5.2f x  %6.3f s %5.2f x convert (target at most 3)\n",
        ew, ew / cw, ec, ec / cc
    printf "orv-segy import:              %6.3f s %5.2f x  %6.3f s %5.2f x convert (target at most 2)\n",
        iw, iw / cw, ic, ic / cc
    printf "time slice, memmap (xarray):  %.4f s, with the mapping %.4f s\n", memmap, memmapOpen
    printf "time slice, store (xarray):   %.4f s (%.2f x faster; target at least 20), with the opening %.4f s (%.2f x)\n",
        store, memmap / store, storeOpen, memmapOpen / storeOpen
}'
printf '%s\n' "${thin_lines[@]}"
