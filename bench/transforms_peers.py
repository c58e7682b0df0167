#!/usr/bin/python3
"""Peer timings for bench/TransformsBench.cpp: numpy doing the same transforms on the same
10,000,000 points.

    transforms_peers.py DATA_DIR [CALLS]

DATA_DIR holds the inputs as TransformsBench --write-data writes them and our results as
TransformsBench --values writes them (raw native doubles). For each case the call is made
once untimed, then CALLS times (5 unless given); the median wall (perf_counter) and CPU
(process_time) seconds per call are printed as one JSON object, with how far numpy's
results lie from ours.

The numpy forms:
- derivative: np.diff of Y over np.diff of X, the interval centres, and the check for a
  zero width or a non-finite quotient (ours refuses the graph then);
- sum of two graphs on different grids: the common grid (first X to last X, as many points
  as the longer graph), np.interp of each graph onto it with 0 outside, and the add;
- RC differentiation with every step different: out[i] = a[i]·out[i−1] + (Y[i] − Y[i−1]),
  a[i] = exp(−ΔX[i]·1e-9/τ), as an exact block scan: within a block of B steps,
  out = P·(carry + cumsum(D/P)) with P the running product of a (B = 1024 keeps P above
  1e-3 for the benchmark's steps of about τ/150).
"""
import json
import os
import statistics
import sys
import time

import numpy as np

TAU = 15e-9


def derivative(x, y):
    dx = np.diff(x)
    q = np.diff(y) / dx
    if (dx == 0).any() or not np.isfinite(q).all():
        raise ValueError("division fault")
    return (x[:-1] + x[1:]) / 2, q


def sum_of_two(xa, ya, xb, yb):
    lo = min(xa[0], xb[0])
    hi = max(xa[-1], xb[-1])
    n = max(xa.size, xb.size)
    grid = lo + np.arange(n) * ((hi - lo) / (n - 1))
    return grid, np.interp(grid, xa, ya, left=0.0, right=0.0) + np.interp(
        grid, xb, yb, left=0.0, right=0.0)


def rc_differentiate(x, y, tau=TAU, block=1024):
    """RC differentiation (X in ns, tau in s) as an exact block scan: within a block the
    running product of the decay factors and the cumulative sum of the scaled steps, the
    last value carried into the next block."""
    a = np.exp(np.diff(x) * (-1e-9 / tau))
    d = np.diff(y)
    out = np.empty_like(y)
    out[0] = y[0]
    carry = y[0]
    for s in range(0, d.size, block):
        p = np.cumprod(a[s:s + block])
        blk = p * (carry + np.cumsum(d[s:s + block] / p))
        out[s + 1:s + 1 + blk.size] = blk
        carry = blk[-1]
    return out


def timed(call, calls):
    call()
    wall, cpu = [], []
    for _ in range(calls):
        w0, c0 = time.perf_counter(), time.process_time()
        call()
        wall.append(time.perf_counter() - w0)
        cpu.append(time.process_time() - c0)
    return {"wall": statistics.median(wall), "cpu": statistics.median(cpu)}


def halves(path):
    a = np.fromfile(path, dtype=np.float64)
    return a[:a.size // 2], a[a.size // 2:]


def worst(ours, theirs, scale):
    """The largest |ours − numpy| over scale (one number, or one per point)."""
    return float(np.max(np.abs(ours - theirs) / scale))


def main():
    data = sys.argv[1]
    calls = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    x, y = halves(os.path.join(data, "signal.f64"))
    xb = np.fromfile(os.path.join(data, "shifted.f64"), dtype=np.float64)
    rx, ry = halves(os.path.join(data, "irregular.f64"))

    times = {
        "derivative": timed(lambda: derivative(x, y), calls),
        "sum": timed(lambda: sum_of_two(x, y, xb, y), calls),
        "rc_irregular": timed(lambda: rc_differentiate(rx, ry), calls),
    }

    # How far numpy's results are from ours: the derivative must agree exactly (the same
    # IEEE operations), the sum to rounding (numpy interpolates in double, ours in extended
    # precision), RC to the block scan's own rounding.
    ox, oy = halves(os.path.join(data, "derivative.f64"))
    dx, dy = derivative(x, y)
    sx, sy = halves(os.path.join(data, "sum.f64"))
    gx, gy = sum_of_two(x, y, xb, y)
    orc = np.fromfile(os.path.join(data, "rc.f64"), dtype=np.float64)
    prc = rc_differentiate(rx, ry)
    deviation = {
        "derivative_x_exact": bool(np.array_equal(ox, dx)),
        "derivative_y_exact": bool(np.array_equal(oy, dy)),
        "sum_grid_rel": worst(sx, gx, np.max(np.abs(gx))),
        "sum_rel": worst(sy, gy, np.max(np.abs(gy))),
        "rc_rel": worst(orc, prc, np.max(np.abs(prc))),
    }
    print(json.dumps({"times": times, "deviation": deviation}))


if __name__ == "__main__":
    main()
