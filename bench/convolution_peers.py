#!/usr/bin/python3
"""The peer of the batch convolution run: one Python process that reads both graph files
with numpy.loadtxt and convolves the signal's steps with the step response by
scipy.signal.fftconvolve, as a lab engineer would do it.

    convolution_peers.py SIGNAL RESPONSE OUT

Both files are plain graph files on the same grid starting at 0 (as ConvolutionBench
--write-data writes them), so H at lag j is the response's Y[j]. OUT receives the m-1
sums as raw native doubles, so the runner can compare them with ours.
"""
import sys

import numpy as np
from scipy import signal

xs, ys = np.loadtxt(sys.argv[1], usecols=(0, 1), unpack=True)
xh, yh = np.loadtxt(sys.argv[2], usecols=(0, 1), unpack=True)
m = xs.size
sums = signal.fftconvolve(np.diff(ys), yh[: m - 1])[: m - 1]
sums.tofile(sys.argv[3])
