#!/usr/bin/python3
"""Peer readers for the oscilloscope CSV benchmark: pandas.read_csv and numpy.loadtxt.

Usage: readers_peers.py pandas|numpy CSV [CHANNELS]
Prints one line like ReadersBench: seconds, MB/s and peak memory of this process.
Run once per reader so that each peak belongs to one reader.
"""
import os
import resource
import sys
import time
import warnings


def main():
    if len(sys.argv) < 3 or sys.argv[1] not in ("pandas", "numpy"):
        print(__doc__, file=sys.stderr)
        return 2
    reader, path = sys.argv[1], sys.argv[2]
    channels = int(sys.argv[3]) if len(sys.argv) > 3 else 4
    megabytes = os.path.getsize(path) / 1e6
    start = time.perf_counter()
    if reader == "pandas":
        import pandas

        warnings.simplefilter("ignore")
        frame = pandas.read_csv(path, header=None)
        values = frame.shape[0] * channels * 2
    else:
        import numpy

        columns = [6 * c + k for c in range(channels) for k in (3, 4)]
        table = numpy.loadtxt(path, delimiter=",", usecols=columns)
        values = table.size
    seconds = time.perf_counter() - start
    peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024 * 1.048576
    print(f"peer {reader} values={values} MB={megabytes:.1f} seconds={seconds:.3f} "
          f"MB/s={megabytes / seconds:.0f} peak_MB={peak:.1f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
