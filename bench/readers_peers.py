#!/usr/bin/python3
"""Peer readers for the oscilloscope CSV benchmark: pandas.read_csv and numpy.loadtxt.

Usage: readers_peers.py pandas|pandas-usecols|numpy CSV [CHANNELS]
       readers_peers.py numpy-plain GRAPH_FILE

pandas          pandas.read_csv(CSV, header=None): every column, as a user would call it
pandas-usecols  pandas.read_csv with only the time and sample columns (its fastest use)
numpy           numpy.loadtxt with only the time and sample columns
numpy-plain     numpy.loadtxt of a plain graph file's X and Y (the texts of the first
                records are skipped as extra columns; Latin-1 reads any byte)
Prints one line like ReadersBench: wall seconds, CPU seconds, MB/s and peak memory of this
process.
Run once per reader so that each peak belongs to one reader.
"""
import os
import resource
import sys
import time
import warnings


def cpu_now():
    used = resource.getrusage(resource.RUSAGE_SELF)
    return used.ru_utime + used.ru_stime


def main():
    if len(sys.argv) < 3 or sys.argv[1] not in ("pandas", "pandas-usecols", "numpy",
                                                "numpy-plain"):
        print(__doc__, file=sys.stderr)
        return 2
    reader, path = sys.argv[1], sys.argv[2]
    channels = int(sys.argv[3]) if len(sys.argv) > 3 else 4
    megabytes = os.path.getsize(path) / 1e6
    columns = [6 * c + k for c in range(channels) for k in (3, 4)]
    if reader.startswith("pandas"):
        import pandas

        warnings.simplefilter("ignore")
        start, cpu_start = time.perf_counter(), cpu_now()
        if reader == "pandas":
            frame = pandas.read_csv(path, header=None)
        else:
            frame = pandas.read_csv(path, header=None, usecols=columns)
        values = frame.shape[0] * channels * 2
    elif reader == "numpy":
        import numpy

        start, cpu_start = time.perf_counter(), cpu_now()
        table = numpy.loadtxt(path, delimiter=",", usecols=columns)
        values = table.size
    else:
        import numpy

        start, cpu_start = time.perf_counter(), cpu_now()
        table = numpy.loadtxt(path, usecols=(0, 1), encoding="latin-1")
        values = table.size
    seconds = time.perf_counter() - start
    cpu = cpu_now() - cpu_start
    peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024 * 1.048576
    print(f"peer {reader} values={values} MB={megabytes:.1f} seconds={seconds:.3f} "
          f"cpu={cpu:.3f} MB/s={megabytes / seconds:.0f} peak_MB={peak:.1f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
