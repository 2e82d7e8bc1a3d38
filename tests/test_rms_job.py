#!/usr/bin/env python3
"""The Dask job of examples/dask on a generated cube: orv-segy export writes the store, the job
runs on a two-worker local cluster, and its RMS map must equal the one zarr_rms_probe computes
through the C++ library, to float rounding. On the way, xarray must read the store as written:
a live trace of zeros as zeros, missing bins as zeros with live 0.

    test_rms_job.py TOOL PROBE JOB
"""

import os
import subprocess
import sys
import tempfile

import numpy as np
import xarray as xr

WINDOW = (40.0, 300.0)


def run(command, timeout=240):
    done = subprocess.run(command, capture_output=True, text=True, timeout=timeout)
    if done.returncode != 0:
        sys.exit("failed (%d): %s\n%s%s" % (done.returncode, " ".join(command), done.stdout,
                                            done.stderr))
    return done.stdout


def check(condition, message):
    if not condition:
        sys.exit("FAIL: " + message)


def main(tool, probe, job):
    with tempfile.TemporaryDirectory(prefix="test-rms-job-") as work:
        cube = os.path.join(work, "cube.sgy")
        store = os.path.join(work, "cube.zarr")
        out = os.path.join(work, "rms.zarr")
        png = os.path.join(work, "rms.png")
        run([probe, "make", cube])
        run([tool, "export", "--chunks", "16,16,64", cube, store])

        ds = xr.open_zarr(store)
        check(ds["amplitude"].dims == ("inline", "crossline", "sample"), "amplitude dimensions")
        check(ds["amplitude"].dtype == np.float32, "amplitude type")
        zero = ds["amplitude"].sel(inline=110, crossline=220).values
        check(zero.shape == (200,) and np.all(zero == 0.0), "a live trace of zeros reads as zeros")
        check(int(ds["live"].sel(inline=110, crossline=220)) == 1, "the zero trace is live")
        check(int(ds["live"].sum()) == 30 * 40 - 4 * 5, "live count")
        missing = ds["amplitude"].sel(inline=121, crossline=252).values
        check(np.all(missing == 0.0) and int(ds["live"].sel(inline=121, crossline=252)) == 0,
              "a missing bin reads as zeros, not live")
        check(not np.isnan(ds["amplitude"].values).any(), "no value read as missing")
        check(float(ds["cdp_x"].sel(inline=101, crossline=204)) == 204000.0, "cdp_x")

        run([sys.executable, job, store, out, "--workers", "2", "--window", str(WINDOW[0]),
             str(WINDOW[1]), "--png", png])
        result = xr.open_zarr(out)
        rms = result["rms"].values

        expected = np.full(rms.shape, np.nan)
        inlines = list(ds["inline"].values)
        crosslines = list(ds["crossline"].values)
        for line in run([probe, "rms", cube, str(WINDOW[0]), str(WINDOW[1])]).splitlines():
            il, xl, value = line.split()
            expected[inlines.index(int(il)), crosslines.index(int(xl))] = float(value)
        check(np.array_equal(np.isnan(rms), np.isnan(expected)), "missing bins of the map")
        check(np.isnan(expected).sum() == 20, "the probe's missing bins")
        live = ~np.isnan(expected)
        worst = np.max(np.abs(rms[live] - expected[live]) / np.maximum(expected[live], 1e-30))
        check(worst < 1e-6, "RMS map differs from the library's by %g relative" % worst)
        check(rms[inlines.index(110), crosslines.index(220)] == 0.0, "RMS of the zero trace")

        spectrum = result["spectrum"]
        check(spectrum.dims == ("inline", "frequency") and spectrum.shape == (30, 101),
              "spectrum shape %s" % (spectrum.shape,))
        peak = float(spectrum["frequency"][int(spectrum.sel(inline=100).argmax())])
        check(10.0 <= peak <= 35.0, "spectrum peak at %g Hz" % peak)
        check(os.path.getsize(png) > 1000, "PNG map")
    print("PASS: RMS map of the Dask job equals the library's (worst relative difference %.2g)"
          % worst)
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    sys.exit(main(*sys.argv[1:]))
