#!/usr/bin/python3
"""The peers of FilterBench, one case per process, on 10,000,000 samples of Gaussian
noise (POINTS= overrides), best of REPEAT= (3) calls; prints "CASE wall_s cpu_s".

    filter_peers.py iir      scipy.signal.sosfiltfilt of butter(8, 0.1, output='sos')
    filter_peers.py fir      scipy.signal.oaconvolve(y, firwin(1001, 0.1), mode='same')
    filter_peers.py median   scipy.ndimage.median_filter(y, 101, mode='constant')
"""
import os
import sys
import time

import numpy as np
import scipy.ndimage as ndimage
import scipy.signal as signal

which = sys.argv[1]
n = int(os.environ.get("POINTS", "10000000"))
repeat = int(os.environ.get("REPEAT", "3"))
y = np.random.default_rng(24).standard_normal(n)
sos = signal.butter(8, 0.1, output="sos")
taps = signal.firwin(1001, 0.1)
cases = {
    "iir": lambda: signal.sosfiltfilt(sos, y),
    "fir": lambda: signal.oaconvolve(y, taps, mode="same"),
    "median": lambda: ndimage.median_filter(y, 101, mode="constant"),
}
best = (float("inf"), float("inf"))
for _ in range(repeat):
    c0, w0 = time.process_time(), time.perf_counter()
    out = cases[which]()
    wall, cpu = time.perf_counter() - w0, time.process_time() - c0
    best = min(best, (wall, cpu))
print(f"{which} {best[0]:.6f} {best[1]:.6f} {out[n // 2]:.17g}")
