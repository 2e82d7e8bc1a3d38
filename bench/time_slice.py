#!/usr/bin/env python3
"""Seconds to read one time slice through xarray: from a Zarr store written by orv-segy export,
and from a NumPy memory map of the SEG-Y file's traces (big-endian IBM samples, fixed length,
inline-sorted, no extended headers), decoded from IBM in NumPy. Best of `runs`. Prints
"store SECONDS OPEN" and "memmap SECONDS OPEN": the read of the slice from an opened store or
mapped file, and the read with the opening (a new xarray.open_zarr, a new mapping) included.
Checks that both slices are equal.

    time_slice.py STORE SEGY INLINES CROSSLINES SAMPLES SAMPLE [RUNS]
"""

import sys
import time

import numpy as np
import xarray as xr


def ibm_to_float(words):
    words = words.astype(np.uint32)
    sign = np.where(words >> 31, -1.0, 1.0)
    exponent = ((words >> 24) & 0x7F).astype(np.int64) - 64
    fraction = (words & 0xFFFFFF).astype(np.float64) / float(1 << 24)
    return (sign * fraction * np.power(16.0, exponent)).astype(np.float32)


def open_store(store):
    return xr.open_zarr(store)["amplitude"]


def open_memmap(segy, inlines, crosslines, samples):
    trace = np.dtype([("header", "V240"), ("samples", ">u4", (samples,))])
    traces = np.memmap(segy, dtype=trace, mode="r", offset=3600, shape=(inlines * crosslines,))
    return xr.DataArray(traces["samples"].reshape(inlines, crosslines, samples),
                        dims=("inline", "crossline", "sample"))


def store_slice(amplitude, sample):
    return amplitude.isel(sample=sample).values


def memmap_slice(words, sample):
    return ibm_to_float(words.isel(sample=sample).values)


def best(function, runs):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        result = function()
        times.append(time.perf_counter() - start)
    return min(times), result


def main(store, segy, inlines, crosslines, samples, sample, runs="3"):
    inlines, crosslines, samples, sample, runs = map(int, (inlines, crosslines, samples, sample,
                                                           runs))
    amplitude = open_store(store)
    words = open_memmap(segy, inlines, crosslines, samples)
    store_time, a = best(lambda: store_slice(amplitude, sample), runs)
    memmap_time, b = best(lambda: memmap_slice(words, sample), runs)
    store_open, _ = best(lambda: store_slice(open_store(store), sample), runs)
    memmap_open, _ = best(
        lambda: memmap_slice(open_memmap(segy, inlines, crosslines, samples), sample), runs)
    if not np.array_equal(a, b):
        sys.exit("time_slice.py: the slices differ")
    print("store %.6f %.6f" % (store_time, store_open))
    print("memmap %.6f %.6f" % (memmap_time, memmap_open))
    return 0


if __name__ == "__main__":
    if len(sys.argv) not in (7, 8):
        sys.exit(__doc__)
    sys.exit(main(*sys.argv[1:]))
