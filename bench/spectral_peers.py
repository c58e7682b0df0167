#!/usr/bin/python3
"""Peer timings for the spectral benchmark: numpy.fft.rfft at 2^20 and 2^24 points and
scipy.signal.czt with K = 1000 frequencies at M = 10^6 and 10^7 samples, the same grid as
bench/SpectralBench.cpp (sample step 0.5 ns, frequency step 1 MHz from 0 Hz).
Prints one JSON object: seconds per call (best of several calls)."""
import json
import time

import numpy as np
import scipy.signal


def best_of(fn, repeats):
    best = float("inf")
    for _ in range(repeats):
        start = time.perf_counter()
        fn()
        best = min(best, time.perf_counter() - start)
    return best


def main():
    rng = np.random.default_rng(42)
    out = {}
    for bits, repeats in ((20, 10), (24, 3)):
        x = rng.standard_normal(1 << bits).astype(np.float32)
        np.fft.rfft(x)
        out[f"rfft_2^{bits}"] = best_of(lambda: np.fft.rfft(x), repeats)
    w = np.exp(-2j * np.pi * 1e6 * 0.5e-9)
    for m, repeats in ((1_000_000, 3), (10_000_000, 2)):
        x = rng.standard_normal(m).astype(np.float32).astype(np.float64)
        out[f"czt_M={m}"] = best_of(lambda: scipy.signal.czt(x, m=1000, w=w, a=1.0), repeats)
    print(json.dumps(out))


if __name__ == "__main__":
    main()
