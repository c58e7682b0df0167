#!/usr/bin/python3
"""Peer of WindowBench: numpy's real FFT of 2^20 float64 samples without a window and with
each scipy window (scipy.signal.get_window(name, N, fftbins=False) made and multiplied in
every call), amplitude and phase as the spectrum needs them. Prints JSON: best seconds."""
import json
import time

import numpy as np
import scipy.signal

N = 1 << 20
WINDOWS = [None, "hann", "hamming", "blackman", "blackmanharris", "flattop",
           ("kaiser", 8.6), ("tukey", 0.5)]
NAMES = ["rectangular", "hann", "hamming", "blackman", "blackman-harris", "flattop",
         "kaiser", "tukey"]


def spectrum(x, window):
    if window is not None:
        x = x * scipy.signal.get_window(window, len(x), fftbins=False)
    z = np.fft.rfft(x)
    return np.abs(z), np.angle(z)


def best(f, repeat=7):
    times = []
    for _ in range(repeat):
        t = time.perf_counter()
        f()
        times.append(time.perf_counter() - t)
    return min(times)


def main():
    rng = np.random.default_rng(7)
    x = rng.standard_normal(N)
    result = {}
    for name, window in zip(NAMES, WINDOWS):
        result["rfft_" + name] = best(lambda: spectrum(x, window))
    print(json.dumps(result))


if __name__ == "__main__":
    main()
