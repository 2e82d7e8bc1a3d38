#!/usr/bin/env bash
# Builds the fuzz targets (sample formats, SEG-Y reader) with clang (ASan + UBSan + libFuzzer) in
# their own build folder and runs each for a bounded number of inputs. Exits non-zero on any
# finding.
# Usage: scripts/fuzz.sh [build dir]   (default: build-fuzz in the source tree)
# FUZZ_RUNS and FUZZ_SECONDS bound the sample-format run (defaults 1000000 inputs, 120 seconds),
# FUZZ_SEGY_RUNS and FUZZ_SEGY_SECONDS the SEG-Y run (defaults 150000 inputs, 150 seconds).
set -euo pipefail
source "$(dirname "$0")/lib.sh"

BUILD=${1:-$ROOT/build-fuzz}
RUNS=${FUZZ_RUNS:-1000000}
SECONDS_MAX=${FUZZ_SECONDS:-120}
SEGY_RUNS=${FUZZ_SEGY_RUNS:-150000}
SEGY_SECONDS_MAX=${FUZZ_SEGY_SECONDS:-150}

ensure_packages "${BUILD_PACKAGES[@]}" clang libclang-rt-14-dev

CC=clang CXX=clang++ cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DORV_BUILD_FUZZ=ON -DBUILD_TESTING=OFF -DORV_BUILD_BENCH=OFF >/dev/null
if ! grep -q '^CMAKE_CXX_COMPILER:.*clang' "$BUILD/CMakeCache.txt"; then
    echo "fuzz.sh: $BUILD was configured with another compiler; remove it or name another folder" >&2
    exit 1
fi
cmake --build "$BUILD" --target fuzz_sample_formats fuzz_segy -j "$JOBS"

# A fresh corpus each run, so that every run starts alike; findings land in artifacts/.
WORK="$BUILD/fuzz-run"
rm -rf "$WORK"
mkdir -p "$WORK/corpus" "$WORK/artifacts"
echo "== fuzz_sample_formats: $RUNS inputs or $SECONDS_MAX s"
"$BUILD/tests/fuzz/fuzz_sample_formats" -runs="$RUNS" -max_total_time="$SECONDS_MAX" \
    -max_len=4096 -seed=1 -print_final_stats=1 -artifact_prefix="$WORK/artifacts/" "$WORK/corpus"

rm -rf "$WORK"
mkdir -p "$WORK/corpus" "$WORK/artifacts"
echo "== fuzz_segy: $SEGY_RUNS inputs or $SEGY_SECONDS_MAX s"
"$BUILD/tests/fuzz/fuzz_segy" -runs="$SEGY_RUNS" -max_total_time="$SEGY_SECONDS_MAX" \
    -max_len=16384 -seed=1 -print_final_stats=1 -artifact_prefix="$WORK/artifacts/" "$WORK/corpus"
