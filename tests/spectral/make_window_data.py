#!/usr/bin/python3
"""Writes the reference samples of the spectrum windows into tests/data/windows/.

Each file holds one window (a parameter in its name where it has one) for several lengths:
a line "M <count>" and then <count> lines of samples, %.17g, the symmetric window
scipy.signal.get_window(name, M, fftbins=False). The build never runs this script; run it
again (with /usr/bin/python3 and scipy installed) only to renew the files.
"""
import os
import sys

import numpy
import scipy
import scipy.signal

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "data", "windows")

SMALL = [1, 2, 3, 4, 5, 8, 9, 16, 17, 64, 101]
# One length near a thousand per window, odd or even in turn (both occur among the small).
EVEN, ODD = [1000], [1001]

# (file name, scipy window, lengths)
WINDOWS = [
    ("hann", "hann", SMALL + EVEN),
    ("hamming", "hamming", SMALL + ODD),
    ("blackman", "blackman", SMALL + EVEN),
    ("blackman-harris", "blackmanharris", SMALL + ODD),
    ("flattop", "flattop", SMALL + EVEN),
    ("kaiser-0", ("kaiser", 0.0), SMALL),
    ("kaiser-2.5", ("kaiser", 2.5), SMALL),
    ("kaiser-8.6", ("kaiser", 8.6), SMALL + ODD),
    ("kaiser-14", ("kaiser", 14.0), SMALL),
    ("kaiser-29.5", ("kaiser", 29.5), SMALL + ODD),
    ("kaiser-40", ("kaiser", 40.0), SMALL + ODD),
    ("tukey-0", ("tukey", 0.0), SMALL),
    ("tukey-0.1", ("tukey", 0.1), SMALL + EVEN),
    ("tukey-0.5", ("tukey", 0.5), SMALL + EVEN),
    ("tukey-0.9", ("tukey", 0.9), SMALL + ODD),
    ("tukey-1", ("tukey", 1.0), SMALL),
]


def main():
    os.makedirs(OUT, exist_ok=True)
    for name, window, lengths in WINDOWS:
        lines = ["# scipy %s, numpy %s: get_window(%r, M, fftbins=False)"
                 % (scipy.__version__, numpy.__version__, window)]
        for m in lengths:
            w = scipy.signal.get_window(window, m, fftbins=False)
            lines.append("M %d" % m)
            lines.extend("%.17g" % v for v in w)
        with open(os.path.join(OUT, name + ".txt"), "w") as f:
            f.write("\n".join(lines) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
