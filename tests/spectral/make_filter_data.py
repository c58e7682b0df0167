#!/usr/bin/python3
"""Writes the reference tables of the filter tests into tests/data/filters/.

Run from the repository root with scipy installed (the build and the tests only read the
tables): /usr/bin/python3 tests/spectral/make_filter_data.py

Every table is text: '#' lines are comments, other lines are a keyword followed by numbers
written with 17 significant digits, so each double is kept exactly.
"""
from fractions import Fraction
import os

import numpy as np
import scipy.signal as ss

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "filters")
KINDS = ["butterworth", "bessel", "chebyshev1", "chebyshev2"]
TYPES = ["lowpass", "highpass", "bandpass", "bandstop"]
WINDOWS = ["hamming", "hann", "blackman", "kaiser"]


def numbers(values):
    return " ".join("%.17g" % v for v in np.asarray(values, dtype=float).ravel())


def line(f, key, values):
    values = np.asarray(values, dtype=float).ravel()
    f.write("%s %d %s\n" % (key, values.size, numbers(values)))


def signal(n, seed):
    """A record that starts off zero: a step, a sine and noise."""
    rng = np.random.default_rng(seed)
    t = np.arange(n)
    return 1.5 + (t > n // 3) * 2.0 + np.sin(2 * np.pi * t / 17.0) + 0.3 * rng.standard_normal(n)


def design(kind, btype, order, wn, ripple, attenuation):
    if kind == "butterworth":
        return ss.butter(order, wn, btype=btype, output="sos")
    if kind == "bessel":
        return ss.bessel(order, wn, btype=btype, norm="phase", output="sos")
    if kind == "chebyshev1":
        return ss.cheby1(order, ripple, wn, btype=btype, output="sos")
    return ss.cheby2(order, attenuation, wn, btype=btype, output="sos")


def iir_tables():
    # Edges as fractions of Nyquist; the sampling of the outputs' record is its index.
    edges = {"lowpass": (0.23, 0.0), "highpass": (0.31, 0.0),
             "bandpass": (0.2, 0.45), "bandstop": (0.18, 0.5)}
    ripple, attenuation = 0.8, 35.0
    with open(os.path.join(OUT, "iir_sections.txt"), "w") as f:
        f.write("# design KIND TYPE ORDER EDGE1 EDGE2 RIPPLE ATTENUATION, then its sections\n")
        f.write("# (rows of b0 b1 b2 a0 a1 a2); edges are fractions of the Nyquist frequency\n")
        for kind in KINDS:
            for btype in TYPES:
                for order in [1, 2, 3, 4, 5, 6, 7, 8, 10, 12, 13, 16]:
                    e1, e2 = edges[btype]
                    wn = [e1, e2] if btype.startswith("band") else e1
                    sos = design(kind, btype, order, wn, ripple, attenuation)
                    f.write("design %s %s %d %.17g %.17g %.17g %.17g\n"
                            % (kind, btype, order, e1, e2, ripple, attenuation))
                    line(f, "sections", sos)
    x = signal(60, 7)
    with open(os.path.join(OUT, "iir_outputs.txt"), "w") as f:
        f.write("# the record, then per design its sections and the outputs of\n")
        f.write("# sosfiltfilt (zero) and of sosfilt from sosfilt_zi*x[0] (causal)\n")
        line(f, "record", x)
        for kind in KINDS:
            for btype in TYPES:
                orders = [1, 4, 7] if btype.startswith("band") else [1, 2, 5, 8]
                for order in orders:
                    e1, e2 = edges[btype]
                    wn = [e1, e2] if btype.startswith("band") else e1
                    sos = design(kind, btype, order, wn, ripple, attenuation)
                    f.write("design %s %s %d %.17g %.17g %.17g %.17g\n"
                            % (kind, btype, order, e1, e2, ripple, attenuation))
                    line(f, "sections", sos)
                    line(f, "zero", ss.sosfiltfilt(sos, x))
                    zi = ss.sosfilt_zi(sos) * x[0]
                    line(f, "causal", ss.sosfilt(sos, x, zi=zi)[0])
        # A record sampled in nanoseconds with edges given in hertz, as the command takes them.
        dt = 2e-9
        fs = 1 / dt
        y = signal(150, 11)
        sos = ss.butter(8, 40e6, btype="lowpass", fs=fs, output="sos")
        f.write("# butterworth lowpass 8 at 40 MHz, dt 2 ns, the 150-point record\n")
        line(f, "record150", y)
        line(f, "sections", sos)
        line(f, "zero", ss.sosfiltfilt(sos, y))


def fir_tables():
    x = signal(120, 5)
    edges = {"lowpass": [0.3], "highpass": [0.4], "bandpass": [0.2, 0.5], "bandstop": [0.25, 0.6]}
    with open(os.path.join(OUT, "fir.txt"), "w") as f:
        f.write("# the record; per design (TAPS TYPE WINDOW BETA EDGE1 EDGE2) firwin's taps and\n")
        f.write("# numpy.convolve(record, taps, 'same'); then the windows' samples (get_window,\n")
        f.write("# fftbins=False)\n")
        line(f, "record", x)
        for window in WINDOWS:
            for btype, taps in [(t, n) for t in TYPES for n in (11, 101)] + [
                    ("lowpass", 3), ("highpass", 31), ("bandpass", 117)]:
                beta = 8.6 if window == "kaiser" else 0.0
                win = ("kaiser", beta) if window == "kaiser" else window
                cut = edges[btype]
                h = ss.firwin(taps, cut, window=win, pass_zero=btype in ("lowpass", "bandstop"))
                e2 = cut[1] if len(cut) > 1 else 0.0
                f.write("design %d %s %s %.17g %.17g %.17g\n" % (taps, btype, window, beta, cut[0], e2))
                line(f, "taps", h)
                line(f, "output", np.convolve(x, h, mode="same"))
        for window, beta in [("hamming", 0), ("hann", 0), ("blackman", 0), ("kaiser", 0.0),
                             ("kaiser", 8.6), ("kaiser", 14.0), ("kaiser", 40.0)]:
            for m in [3, 8, 51]:
                win = ("kaiser", beta) if window == "kaiser" else window
                f.write("window %s %.17g %d\n" % (window, beta, m))
                line(f, "samples", ss.get_window(win, m, fftbins=False))


def median_tables():
    rng = np.random.default_rng(3)
    x = np.round(rng.standard_normal(200) * 100) / 8  # repeated values on purpose
    x[50:60] = 0.0
    x[120] = 1e6
    with open(os.path.join(OUT, "median.txt"), "w") as f:
        f.write("# the record, then per width scipy.signal.medfilt(record, width)\n")
        line(f, "record", x)
        for width in [1, 3, 5, 11, 51, 199, 251]:
            f.write("width %d\n" % width)
            line(f, "output", ss.medfilt(x, width))


def savgol_exact(x, width, order):
    """savgol_filter(mode='interp') in exact rational arithmetic, rounded at the end."""
    half = width // 2
    xs = [Fraction(v) for v in x]

    def weights_at(t):
        # Least-squares weights of the fit at point t of the window 0 ... width-1.
        a = [[Fraction(j) ** k for k in range(order + 1)] for j in range(width)]
        ata = [[sum(a[j][r] * a[j][c] for j in range(width)) for c in range(order + 1)]
               for r in range(order + 1)]
        e = [Fraction(t) ** k for k in range(order + 1)]
        # Solve ata * v = e exactly (Gauss–Jordan on fractions).
        m = [row[:] + [e[i]] for i, row in enumerate(ata)]
        size = order + 1
        for col in range(size):
            piv = next(r for r in range(col, size) if m[r][col] != 0)
            m[col], m[piv] = m[piv], m[col]
            inv = 1 / m[col][col]
            m[col] = [v * inv for v in m[col]]
            for r in range(size):
                if r != col and m[r][col] != 0:
                    f = m[r][col]
                    m[r] = [vr - f * vc for vr, vc in zip(m[r], m[col])]
        v = [m[i][size] for i in range(size)]
        return [sum(a[j][k] * v[k] for k in range(size)) for j in range(width)]

    n = len(xs)
    out = [None] * n
    centre = weights_at(half)
    for i in range(half, n - half):
        out[i] = sum(centre[j] * xs[i - half + j] for j in range(width))
    for t in range(half):
        w = weights_at(t)
        out[t] = sum(w[j] * xs[j] for j in range(width))
    for t in range(width - half, width):
        w = weights_at(t)
        out[n - width + t] = sum(w[j] * xs[n - width + j] for j in range(width))
    return [float(v) for v in out], [float(v) for v in centre]


def savgol_tables():
    x = signal(120, 9)
    with open(os.path.join(OUT, "savgol.txt"), "w") as f:
        f.write("# the record, then per WIDTH POLYORDER the exact least-squares centre weights\n")
        f.write("# and savgol_filter(record, width, polyorder, mode='interp') computed in\n")
        f.write("# rational arithmetic (scipy's own float weights differ in the last digits)\n")
        line(f, "record", x)
        for width, order in [(3, 0), (3, 2), (5, 2), (7, 3), (11, 4), (21, 2), (31, 6),
                             (41, 8), (61, 4), (5, 4), (9, 0), (119, 5)]:
            out, centre = savgol_exact(x, width, order)
            f.write("savgol %d %d\n" % (width, order))
            line(f, "weights", centre)
            line(f, "output", out)


if __name__ == "__main__":
    os.makedirs(OUT, exist_ok=True)
    iir_tables()
    fir_tables()
    median_tables()
    savgol_tables()
