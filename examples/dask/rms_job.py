#!/usr/bin/env python3
"""RMS amplitude map and per-line mean amplitude spectrum of a survey exported by
`orv-segy export`, computed by Dask on a local cluster or on a running one.

    rms_job.py STORE OUT [--window T0 T1] [--scheduler ADDRESS] [--workers N] [--png MAP.png]

STORE is read with xarray (its own chunks become Dask's). OUT is a Zarr store with:
  rms       the RMS of the samples in the time window, per bin (cube, pre-stack: over every
            live offset of the bin), per CDP (line) or per trace; NaN where no trace is;
  spectrum  the mean amplitude spectrum of the live traces of each inline (CDP, trace), over
            `frequency` in Hz.
and the map is drawn as a PNG.
"""

import argparse
import os
import sys
import tempfile

import numpy as np
import xarray as xr


def parse_arguments(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("store", help="Zarr store written by orv-segy export")
    parser.add_argument("out", help="Zarr store of the results (replaced)")
    parser.add_argument("--window", nargs=2, type=float, metavar=("T0", "T1"),
                        help="time window in ms, both ends included; default: the whole trace")
    parser.add_argument("--scheduler", metavar="ADDRESS",
                        help="address of a running Dask scheduler (tcp://host:8786); "
                             "default: a local cluster")
    parser.add_argument("--workers", type=int, default=os.cpu_count() or 1,
                        help="worker processes of the local cluster; default: one per core")
    parser.add_argument("--png", metavar="FILE",
                        help="the RMS map as a picture; default: OUT with .png")
    return parser.parse_args(argv)


def live_mask(ds):
    return ds["live"] == 1


def rms_map(ds, window):
    """RMS over the window of each position; positions of one bin (offsets) pooled."""
    amplitude = ds["amplitude"]
    if window:
        amplitude = amplitude.sel(sample=slice(window[0], window[1]))
    samples = amplitude.sizes["sample"]
    if samples == 0:
        raise SystemExit("rms_job.py: the window holds no sample")
    energy = (amplitude.astype("float64") ** 2).sum("sample")
    live = live_mask(ds)
    if "offset" in energy.dims:
        count = live.sum("offset")
        energy = energy.where(live, 0.0).sum("offset")
    else:
        count = live.astype("int64")
    rms = np.sqrt(energy / (count * samples))
    return rms.where(count > 0).rename("rms")


def mean_spectrum(ds):
    """Mean amplitude spectrum of the live traces of each index of the first dimension."""
    amplitude = ds["amplitude"]
    first = amplitude.dims[0]
    times = ds["sample"].values
    interval = (times[1] - times[0]) / 1000.0 if times.size > 1 else 1.0
    frequencies = np.fft.rfftfreq(times.size, interval)
    # A trace's spectrum needs all its samples in one chunk.
    whole = amplitude.chunk({"sample": -1})
    spectrum = xr.apply_ufunc(
        lambda a: np.abs(np.fft.rfft(a.astype("float64"), axis=-1)),
        whole,
        input_core_dims=[["sample"]],
        output_core_dims=[["frequency"]],
        dask="parallelized",
        output_dtypes=[np.float64],
        dask_gufunc_kwargs={"output_sizes": {"frequency": frequencies.size}},
    )
    others = [d for d in spectrum.dims if d not in (first, "frequency")]
    spectrum = spectrum.where(live_mask(ds))
    if others:
        spectrum = spectrum.mean(others)
    return spectrum.assign_coords(frequency=frequencies).rename("spectrum")


def draw_map(rms, path):
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    figure, axes = plt.subplots(figsize=(8, 6))
    if rms.ndim == 2:
        rms.plot.imshow(ax=axes, x=rms.dims[1], y=rms.dims[0], cmap="viridis")
    else:
        rms.plot(ax=axes)
    axes.set_title("RMS amplitude")
    figure.savefig(path, dpi=100)
    plt.close(figure)


def run(args, client):
    ds = xr.open_zarr(args.store)
    results = xr.Dataset({"rms": rms_map(ds, args.window), "spectrum": mean_spectrum(ds)})
    for name in ("cdp_x", "cdp_y"):
        if name in results.coords:
            results = results.drop_vars(name)
    if args.window:
        results.attrs["window_ms"] = list(args.window)
    results.attrs["source"] = os.path.abspath(args.store)
    results = client.compute(results).result()
    results.to_zarr(args.out, mode="w", consolidated=True)
    draw_map(results["rms"], args.png or os.path.splitext(args.out)[0] + ".png")


def main(argv):
    args = parse_arguments(argv)
    from dask.distributed import Client, LocalCluster

    if args.scheduler:
        with Client(args.scheduler) as client:
            run(args, client)
        return 0
    with tempfile.TemporaryDirectory(prefix="rms-job-") as scratch:
        with LocalCluster(n_workers=args.workers, threads_per_worker=1, host="127.0.0.1",
                          dashboard_address=None, local_directory=scratch) as cluster:
            with Client(cluster) as client:
                run(args, client)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
