#!/usr/bin/python3
"""Peer readers for the oscilloscope CSV export benchmark.

Usage: scope_csv_peers.py pandas|numpy CSV HEADER_LINES CHANNELS

pandas  pandas.read_csv of the time column and the CHANNELS value columns after the header
        lines (when pandas is installed; otherwise the line says "missing")
numpy   numpy.loadtxt of the same columns
Prints one line like ScopeCsvBench: wall seconds, CPU seconds, MB/s, million values a second
and the peak memory of this process. Run once per reader so that each peak belongs to one
reader.
"""
import os
import resource
import sys
import time


def cpu_now():
    used = resource.getrusage(resource.RUSAGE_SELF)
    return used.ru_utime + used.ru_stime


def main():
    if len(sys.argv) != 5 or sys.argv[1] not in ("pandas", "numpy"):
        print(__doc__, file=sys.stderr)
        return 2
    reader, path = sys.argv[1], sys.argv[2]
    skip, channels = int(sys.argv[3]), int(sys.argv[4])
    megabytes = os.path.getsize(path) / 1e6
    columns = list(range(channels + 1))
    if reader == "pandas":
        try:
            import pandas
        except ImportError:
            print(f"peer pandas missing MB={megabytes:.1f} seconds=0 cpu=0")
            return 0
        start, cpu_start = time.perf_counter(), cpu_now()
        frame = pandas.read_csv(path, header=None, skiprows=skip, usecols=columns)
        points = frame.shape[0] * channels
    else:
        import numpy

        start, cpu_start = time.perf_counter(), cpu_now()
        table = numpy.loadtxt(path, delimiter=",", skiprows=skip, usecols=columns)
        points = table.shape[0] * channels
    seconds = time.perf_counter() - start
    cpu = cpu_now() - cpu_start
    peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024 * 1.048576
    print(f"peer {reader} points={points} MB={megabytes:.1f} seconds={seconds:.3f} "
          f"cpu={cpu:.3f} MB/s={megabytes / seconds:.0f} "
          f"Mpoints/s={points / 1e6 / seconds:.1f} peak_MB={peak:.1f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
