#!/usr/bin/python3
"""Peer timings for bench/PulseStatsBench.cpp: numpy computing the same statistics of every
pulse on the same record.

    pulse_stats_peers.py DATA [CALLS]

DATA holds the record as PulseStatsBench --write-data writes it (all X, then all Y, native
doubles). The call is made once untimed, then CALLS times (5 unless given); the median wall
(perf_counter) and CPU (process_time) seconds per call are printed as one JSON object with
the statistics found, so the runner can check that both sides agree.

The same definitions, vectorised: the finite points and a check that X never decreases;
histogram levels from np.bincount (argmax finds the first maximum, so the low state's tie
rule comes free and the high state's from the reversed upper half) and np.median of the
two winning bins; the hysteresis state carried forward with np.maximum.accumulate over
the indices of the points at or beyond L and U; the last point at the old level and the
last segment passing M found the same way; crossings in np.longdouble; every region's
bounds by np.searchsorted and its extremes by np.minimum/np.maximum.reduceat; settling
from the last points inside and outside the band carried forward; statistics with
ddof=1.
"""
import json
import statistics
import sys
import time

import numpy as np

BINS, LOWER, MID, UPPER, REGION, TOLERANCE = 100, 10.0, 50.0, 90.0, 3.0, 2.0


def cross(x, y, a, level):
    """The straight line through points a and a+1 at `level` (arrays), in long double."""
    xa, ya = x[a].astype(np.longdouble), y[a].astype(np.longdouble)
    xb, yb = x[a + 1].astype(np.longdouble), y[a + 1].astype(np.longdouble)
    level = np.asarray(level, dtype=np.longdouble)
    flat = ya == yb
    t = xa + (level - ya) * (xb - xa) / np.where(flat, 1, yb - ya)
    return np.where(flat, xb, t).astype(np.float64)


def last_index(mask):
    """For each i, the largest k ≤ i with mask[k], or -1."""
    return np.maximum.accumulate(np.where(mask, np.arange(mask.size), -1))


def segment_reduce(ufunc, values, starts, ends, empty):
    """ufunc over values[starts[k]:ends[k]] for each k (ranges in ascending, disjoint order);
    `empty` where a range is empty."""
    out = np.full(starts.size, empty, dtype=np.float64)
    ok = ends > starts
    if ok.any():
        s, e = starts[ok], ends[ok]
        bounds = np.empty(2 * s.size, dtype=np.int64)
        bounds[0::2], bounds[1::2] = s, e
        order = np.argsort(bounds, kind="stable")
        sorted_bounds = bounds[order]
        red = ufunc.reduceat(values, np.minimum(sorted_bounds, values.size - 1))
        pos = np.empty_like(order)
        pos[order] = np.arange(order.size)
        out[ok] = red[pos[0::2]]
        # A range [s, e) reduces up to the next bound; ranges that overlap another bound
        # are rare (touching regions) and done one by one.
        # The last range may end at the last value, which reduceat cannot bound.
        slow = np.nonzero((pos[1::2] != pos[0::2] + 1) | (e >= values.size))[0]
        idx = np.nonzero(ok)[0]
        for k in slow:
            out[idx[k]] = ufunc.reduce(values[s[k]:e[k]])
    return out


def levels(y):
    ymin, ymax = y.min(), y.max()
    w = (ymax - ymin) / BINS
    b = np.minimum(BINS - 1, ((y - ymin) / w).astype(np.int64))
    counts = np.bincount(b, minlength=BINS)
    half = BINS // 2
    low_bin = int(np.argmax(counts[:half]))
    high_bin = BINS - 1 - int(np.argmax(counts[half:][::-1]))
    return float(np.median(y[b == low_bin])), float(np.median(y[b == high_bin]))


def measure(x, y):
    keep = np.isfinite(x) & np.isfinite(y)
    if not keep.all():
        x, y = x[keep], y[keep]
    if x.size < 3 or (np.diff(x) < 0).any():
        raise ValueError("not a time record")
    n = x.size
    low, high = levels(y)
    amp = high - low
    L, M, U = (float(np.longdouble(low) + np.longdouble(p) * np.longdouble(amp) / 100)
               for p in (LOWER, MID, UPPER))
    at_low, at_high = y <= L, y >= U
    last_low, last_high = last_index(at_low), last_index(at_high)
    # The state after each point: the later of the last LOW and last HIGH point.
    state = np.where(last_low > last_high, -1, np.where(last_high >= 0, 1, 0))
    state[(last_low < 0) & (last_high < 0)] = 0
    flips = np.nonzero((state[1:] != state[:-1]) & (state[:-1] != 0))[0] + 1
    rise = state[flips] == 1
    j = np.where(rise, last_low[flips - 1], last_high[flips - 1])
    up = np.zeros(n, dtype=bool)
    down = np.zeros(n, dtype=bool)
    up[:-1] = (y[:-1] < M) & (y[1:] >= M)
    down[:-1] = (y[:-1] > M) & (y[1:] <= M)
    mid_seg = np.where(rise, last_index(up)[flips - 1], last_index(down)[flips - 1])
    mid_seg = np.where(mid_seg >= j, mid_seg, flips - 1)
    t_mid = cross(x, y, mid_seg, M)
    t_lower = cross(x, y, np.where(rise, j, flips - 1), L)
    t_upper = cross(x, y, np.where(rise, flips - 1, j), U)
    dur = np.abs(t_upper - t_lower)
    start = np.where(rise, t_lower, t_upper)
    end = np.where(rise, t_upper, t_lower)
    with np.errstate(divide="ignore"):
        slew = np.where(dur != 0, (U - L) / np.where(dur != 0, dur, 1) * np.where(rise, 1, -1), np.nan)
    reach = REGION * dur
    next_start = np.append(start[1:], np.inf)
    prev_end = np.insert(end[:-1], 0, x[0])
    post_end = np.minimum(end + reach, np.minimum(next_start, x[-1]))
    a = np.searchsorted(x, end, side="right")
    b = np.searchsorted(x, post_end, side="right")
    ymax_post = segment_reduce(np.maximum, y, a, b, np.nan)
    ymin_post = segment_reduce(np.minimum, y, a, b, np.nan)
    over_dev = np.where(rise, ymax_post - high, low - ymin_post)
    overshoot = 100 * np.maximum(0, over_dev) / amp  # NaN stays for an empty region
    # Undershoot from the first point of the post region at the final level.
    reach_high = np.minimum.accumulate(np.where(y >= high, np.arange(n), n)[::-1])[::-1]
    reach_low = np.minimum.accumulate(np.where(y <= low, np.arange(n), n)[::-1])[::-1]
    a_idx = np.minimum(a, n - 1)
    r = np.where(rise, reach_high[a_idx], reach_low[a_idx])
    r = np.where(a < n, r, n)
    ymin_u = segment_reduce(np.minimum, y, np.minimum(r, b), b, np.nan)
    ymax_u = segment_reduce(np.maximum, y, np.minimum(r, b), b, np.nan)
    under_dev = np.where(rise, high - ymin_u, ymax_u - low)
    undershoot = np.where(r < b, 100 * np.maximum(0, under_dev) / amp, np.nan)
    c = np.searchsorted(x, np.maximum(start - reach, prev_end), side="left")
    d = np.searchsorted(x, start, side="left")
    ymin_pre = segment_reduce(np.minimum, y, c, d, np.nan)
    ymax_pre = segment_reduce(np.maximum, y, c, d, np.nan)
    preshoot = 100 * np.maximum(0, np.where(rise, low - ymin_pre, ymax_pre - high)) / amp
    # Settling over the stretch (end, next start): the last point inside the band and the
    # last one outside before it.
    tol = TOLERANCE * amp / 100
    e = np.searchsorted(x, next_start, side="left")
    settling = np.full(flips.size, np.nan)
    for want_rise, final in ((True, high), (False, low)):
        sel = rise == want_rise
        inside = np.abs(y - final) <= tol
        last_in, last_out = last_index(inside), last_index(~inside)
        li = last_in[np.maximum(e[sel] - 1, 0)]
        ok = (li >= a[sel]) & (e[sel] > a[sel])
        k = last_out[np.maximum(li, 0)]
        has_out = ok & (k >= a[sel])
        edge = np.where(y[np.maximum(k, 0)] > final, final + tol, final - tol)
        kk = np.clip(k, 0, n - 2)
        instant = np.where(has_out, cross(x, y, kk, edge), end[sel])
        settling[sel] = np.where(ok, instant - t_mid[sel], np.nan)
    # Pulses: each first-kind transition with the one after it.
    positive = bool(rise[0]) if flips.size else True
    first = np.nonzero(rise[:-1] == positive)[0]
    p_start, p_end = t_mid[first], t_mid[first + 1]
    width = p_end - p_start
    period = np.diff(p_start)
    with np.errstate(divide="ignore"):
        duty = np.where(period != 0, width[:-1] / np.where(period != 0, period, 1), np.nan)
        freq = np.where(period != 0, 1 / np.where(period != 0, period, 1), np.nan)
    metrics = {
        "rise": dur[rise], "fall": dur[~rise], "slew-rise": slew[rise], "slew-fall": slew[~rise],
        "overshoot": overshoot, "undershoot": undershoot, "preshoot": preshoot,
        "settling": settling, "width": width, "period": period, "duty": duty, "frequency": freq,
    }
    out = {"low": low, "high": high}
    for name, v in metrics.items():
        v = v[~np.isnan(v)]
        out[name] = {
            "count": int(v.size),
            "mean": float(v.mean()) if v.size else None,
            "std": float(v.std(ddof=1)) if v.size > 1 else None,
            "min": float(v.min()) if v.size else None,
            "max": float(v.max()) if v.size else None,
        }
    return out


def main():
    path = sys.argv[1]
    calls = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    data = np.fromfile(path, dtype=np.float64)
    x, y = data[: data.size // 2], data[data.size // 2:]
    values = measure(x, y)
    walls, cpus = [], []
    for _ in range(calls):
        w0, c0 = time.perf_counter(), time.process_time()
        measure(x, y)
        walls.append(time.perf_counter() - w0)
        cpus.append(time.process_time() - c0)
    print(json.dumps({"times": {"pulse_stats": {"wall": statistics.median(walls),
                                                "cpu": statistics.median(cpus)}},
                      "values": values}))


if __name__ == "__main__":
    main()
