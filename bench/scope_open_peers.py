#!/usr/bin/python3
"""Peer reader for the deep-record benchmark: numpy.fromfile of a 16-bit Tektronix .isf.

Usage: scope_open_peers.py numpy ISF_FILE

Reads the preamble's YMULT, YOFF, YZERO, XINCR and the :CURVE block's length, then the codes
with numpy.fromfile, and makes the same doubles as the open command: Y = YZERO + YMULT·(code −
YOFF) and X = i·XINCR in nanoseconds (in place, so no temporary array beyond the codes).
Run it as a whole process; the benchmark measures its wall time and peak memory from outside.
"""
import re
import sys

import numpy


def main():
    if len(sys.argv) != 3 or sys.argv[1] != "numpy":
        print(__doc__, file=sys.stderr)
        return 2
    path = sys.argv[2]
    with open(path, "rb") as f:
        head = f.read(4096)
    curve = head.index(b"#")
    digits = int(head[curve + 1:curve + 2])
    length = int(head[curve + 2:curve + 2 + digits])
    offset = curve + 2 + digits
    text = head[:curve].decode("latin-1")

    def setting(name):
        return float(re.search(r"(?:^|[;:])" + name + r" ([^;]+)", text).group(1))

    ymult, yoff, yzero, xincr = (setting(k) for k in ("YMULT", "YOFF", "YZERO", "XINCR"))
    codes = numpy.fromfile(path, dtype="<i2", count=length // 2, offset=offset)
    y = codes.astype(numpy.float64)
    del codes
    y -= yoff
    y *= ymult
    y += yzero
    x = numpy.arange(y.size, dtype=numpy.float64)
    x *= xincr * 1e9
    print(f"points={y.size} y_last={y[-1]:.6g} x_last={x[-1]:.6g}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
