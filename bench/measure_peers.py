#!/usr/bin/python3
"""Peer timings for bench/MeasureBench.cpp: numpy doing the same work on the same record.

    measure_peers.py DATA [CALLS]

DATA holds the record as MeasureBench --write-data writes it (all X, then all Y, native
doubles). For each case the call is made once untimed, then CALLS times (5 unless given);
the median wall (perf_counter) and CPU (process_time) seconds per call are printed as one
JSON object, with the values found, so the runner can check that both sides agree.

The pulse measurement: the visible points by searchsorted, the extremes from zero by
min/max, the polarity, then the four level crossings by vectorised comparison (each stage
starting where the one before completed; the 10 % stage also asks that Y moves towards the
peak) and the straight-line crossing through the point before. The cursor statistics:
searchsorted for the points between the cursors, numpy.interp for Y at each cursor, then
min, max, mean, RMS (a dot product) and numpy.trapz. The record is finite and ascending,
so the peer tests neither (ours does: it skips non-finite points).
"""
import json
import statistics
import sys
import time

import numpy as np


def crossing(x, y, b, level):
    """The straight line through points b-1 and b at the level (X of b on a flat segment)."""
    xa, ya, xb, yb = float(x[b - 1]), float(y[b - 1]), float(x[b]), float(y[b])
    if ya == yb:
        return xb
    return xa + (level - ya) * (xb - xa) / (yb - ya)


def first(mask):
    """Index of the first true element, or None."""
    i = int(np.argmax(mask))
    return i if mask.size and mask[i] else None


def measure(x, y, lo_x, hi_x):
    lo = int(np.searchsorted(x, lo_x, side="left"))
    hi = int(np.searchsorted(x, hi_x, side="right"))
    v = y[lo:hi]
    ymax = max(float(v.max()), 0.0) if v.size else 0.0
    ymin = min(float(v.min()), 0.0) if v.size else 0.0
    out = {"amplitude": 0.0, "t10": None, "t50r": None, "t90": None, "t50f": None}
    if abs(ymax) > abs(ymin):
        peak, s = ymax, 1.0
    elif abs(ymax) < abs(ymin):
        peak, s = ymin, -1.0
    else:
        return out
    out["amplitude"] = peak
    l10, l50, l90 = peak / 10, peak / 2, peak * 9 / 10
    sy = y if s > 0 else -y[max(lo, 1) - 1:hi]
    base = 0 if s > 0 else max(lo, 1) - 1
    # 10 %: reaches the level while moving towards the peak (the point before is lower).
    start = max(lo, 1)
    seg = sy[start - 1 - base:hi - base]
    i = first((seg[1:] >= s * l10) & (seg[:-1] < seg[1:]))
    if i is None:
        return out
    i10 = start + i
    out["t10"] = crossing(x, y, i10, l10)
    i = first(sy[i10 - base:hi - base] >= s * l50)
    if i is None:
        return out
    i50 = i10 + i
    out["t50r"] = crossing(x, y, i50, l50)
    i = first(sy[i50 - base:hi - base] >= s * l90)
    if i is None:
        return out
    i90 = i50 + i
    out["t90"] = crossing(x, y, i90, l90)
    i = first(sy[i90 - base:hi - base] <= s * l50)
    if i is not None:
        out["t50f"] = crossing(x, y, i90 + i, l50)
    return out


def cursors(x, y, x1, x2):
    lo_x, hi_x = min(x1, x2), max(x1, x2)
    lo = int(np.searchsorted(x, lo_x, side="left"))
    hi = int(np.searchsorted(x, hi_x, side="right"))
    inside = lambda c: bool(x.size) and x[0] <= c <= x[-1]
    out = {
        "count": hi - lo,
        "y1": float(np.interp(x1, x, y)) if inside(x1) else None,
        "y2": float(np.interp(x2, x, y)) if inside(x2) else None,
    }
    if hi > lo:
        sx, sv = x[lo:hi], y[lo:hi]
        out["min"] = float(sv.min())
        out["max"] = float(sv.max())
        out["mean"] = float(sv.mean())
        out["rms"] = float(np.sqrt(np.dot(sv, sv) / sv.size))
        out["integral"] = float(np.trapz(sv, sx))
    return out


def timed(fn, calls):
    fn()
    walls, cpus = [], []
    for _ in range(calls):
        w, c = time.perf_counter(), time.process_time()
        fn()
        cpus.append(time.process_time() - c)
        walls.append(time.perf_counter() - w)
    return {"wall": statistics.median(walls), "cpu": statistics.median(cpus)}


def main():
    path = sys.argv[1]
    calls = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    data = np.fromfile(path, dtype=np.float64)
    n = data.size // 2
    x, y = data[:n], data[n:]
    narrow = json.loads(sys.argv[3]) if len(sys.argv) > 3 else [299000.0, 309000.0]
    cases = {
        "measure_full": lambda: measure(x, y, float(x[0]), float(x[-1])),
        "measure_narrow": lambda: measure(x, y, narrow[0], narrow[1]),
        "cursors_all": lambda: cursors(x, y, float(x[0]), float(x[-1])),
    }
    out = {"times": {name: timed(fn, calls) for name, fn in cases.items()}}
    out["values"] = {
        "full": cases["measure_full"](),
        "narrow": cases["measure_narrow"](),
        "cursors": cases["cursors_all"](),
    }
    print(json.dumps(out))


if __name__ == "__main__":
    main()
