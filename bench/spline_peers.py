#!/usr/bin/python3
"""Peer timing for bench/SplineBench.cpp: scipy's BSpline (k = 2) over the same graph.

    spline_peers.py DATA [CALLS]

DATA holds the 1,000,000-point graph as SplineBench --write-data writes it (all X, then
all Y, native doubles). The peer builds the same clamped quadratic B-spline (knots
0, 0, 0, 1, 2, ..., n-1, n-1, n-1, the points as control points, both coordinates at once)
and evaluates it at the same parameters u = s/10 rounded to single precision, as ours,
s = 0 ... 10(n-1)-1. The evaluation is
made once untimed, then CALLS times (5 unless given); the median wall (perf_counter) and
CPU (process_time) seconds per call are printed as JSON with the output point count and
sample points, so the runner can compare per output point and check the curves agree.
"""
import json
import statistics
import sys
import time

import numpy as np
from scipy.interpolate import BSpline

SAMPLES = [0, 1, 9, 10, 11, 12_345, 4_999_995]


def main():
    path = sys.argv[1]
    calls = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    raw = np.fromfile(path, dtype=np.float64)
    m = raw.size // 2
    points = np.column_stack((raw[:m], raw[m:]))
    n = m - 1
    knots = np.concatenate(([0.0, 0.0], np.arange(0, n, dtype=np.float64), [n - 1.0, n - 1.0]))
    spline = BSpline(knots, points, 2, extrapolate=False)
    u = (np.arange(10 * (n - 1), dtype=np.float64) / 10).astype(np.float32).astype(np.float64)
    curve = spline(u)
    walls, cpus = [], []
    for _ in range(calls):
        w0, c0 = time.perf_counter(), time.process_time()
        curve = spline(u)
        walls.append(time.perf_counter() - w0)
        cpus.append(time.process_time() - c0)
    last = curve.shape[0] - 1
    samples = SAMPLES + [last - 1, last]
    print(json.dumps({
        "count": int(curve.shape[0]),
        "wall": statistics.median(walls),
        "cpu": statistics.median(cpus),
        "points": [[i, float(curve[i, 0]), float(curve[i, 1])] for i in samples],
    }))


if __name__ == "__main__":
    main()
