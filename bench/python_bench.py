#!/usr/bin/python3
"""The Python module against tarvik-batch and the peers, alternately in one run.

Usage: python_bench.py CSV TARVIK_BATCH [ROUNDS]

CSV is the 5,000,000-record 4-channel oscilloscope export of ReadersBench generate-osc.
Each round measures, in this order:
  batch-open    tarvik-batch -e 'open CSV' (a fresh process: start and exit included)
  module-open   doc.open(CSV) on a fresh tarvik.Document in this process
  pandas        pandas.read_csv(CSV, header=None, usecols=time and value columns)
  add           doc.add(x, y) of 10,000,000 points (float64 arrays)
  numpy-copy    x.copy(), y.copy() of the same arrays: one copy at memory speed
  view          doc.graphs[0].y on the 10,000,000-point graph (median of 2,000 calls)
  numpy-view    y.view() of a numpy array (median of 2,000 calls)
Prints each run (wall and CPU seconds), the medians and the ratios, with the load average.
"""
import os
import resource
import statistics
import subprocess
import sys
import time

import numpy as np

import tarvik


def cpu_self():
    used = resource.getrusage(resource.RUSAGE_SELF)
    return used.ru_utime + used.ru_stime


def cpu_children():
    used = resource.getrusage(resource.RUSAGE_CHILDREN)
    return used.ru_utime + used.ru_stime


def timed(work, cpu=cpu_self):
    start, cpu_start = time.perf_counter(), cpu()
    result = work()
    return time.perf_counter() - start, cpu() - cpu_start, result


def batch_open(csv, batch):
    wall, cpu, _ = timed(lambda: subprocess.run([batch, "-e", f'open "{csv}"'], check=True),
                         cpu_children)
    return wall, cpu


def module_open(csv):
    doc = tarvik.Document()
    wall, cpu, _ = timed(lambda: doc.open(csv))
    assert len(doc.graphs) == 4 and len(doc.graphs[0]) == 5000000
    del doc
    return wall, cpu


def pandas_open(csv):
    import pandas

    columns = [6 * c + k for c in range(4) for k in (3, 4)]
    wall, cpu, frame = timed(lambda: pandas.read_csv(csv, header=None, usecols=columns))
    assert frame.shape == (5000000, 8)
    del frame
    return wall, cpu


def add_points(x, y):
    doc = tarvik.Document()
    wall, cpu, _ = timed(lambda: doc.add(x, y))
    return wall, cpu, doc


def numpy_copy(x, y):
    wall, cpu, copies = timed(lambda: (x.copy(), y.copy()))
    del copies
    return wall, cpu


def per_call(work, calls=2000):
    times = []
    for _ in range(calls):
        start = time.perf_counter()
        work()
        times.append(time.perf_counter() - start)
    return statistics.median(times), statistics.median(times)


def load():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


def main():
    if len(sys.argv) not in (3, 4):
        print(__doc__, file=sys.stderr)
        return 2
    csv, batch = sys.argv[1], sys.argv[2]
    rounds = int(sys.argv[3]) if len(sys.argv) == 4 else 3
    runs = {name: [] for name in ("batch-open", "module-open", "pandas", "add", "numpy-copy",
                                  "view", "numpy-view")}
    n = 10_000_000
    x = np.arange(n, dtype=np.float64) * 0.1
    y = np.sin(x * 1e-3)
    print(f"== {os.cpu_count()} cores, load average before: {load()}")
    with open(csv, "rb") as f:  # every reader starts from the page cache
        while f.read(1 << 24):
            pass
    for r in range(rounds):
        runs["batch-open"].append(batch_open(csv, batch))
        runs["module-open"].append(module_open(csv))
        runs["pandas"].append(pandas_open(csv))
        wall, cpu, doc = add_points(x, y)
        runs["add"].append((wall, cpu))
        runs["numpy-copy"].append(numpy_copy(x, y))
        runs["view"].append(per_call(lambda: doc.graphs[0].y))
        runs["numpy-view"].append(per_call(y.view))
        del doc
        for name, values in runs.items():
            wall, cpu = values[-1]
            print(f"round {r + 1} {name:12s} wall={wall:.6f} cpu={cpu:.6f}", flush=True)
    print(f"== load average after: {load()}")
    median = {name: (statistics.median(v[0] for v in values),
                     statistics.median(v[1] for v in values)) for name, values in runs.items()}
    print("== medians (seconds: wall, cpu; view calls: wall per call)")
    for name, (wall, cpu) in median.items():
        print(f"{name:12s} wall={wall:.6f} cpu={cpu:.6f}")
    mb = os.path.getsize(csv) / 1e6
    print(f"module open: {mb / median['module-open'][0]:.0f} MB/s")

    def ratio(a, b, label):
        print(f"{label:44s} {median[a][0] / median[b][0]:6.2f}x wall "
              f"{median[a][1] / max(median[b][1], 1e-12):6.2f}x cpu")

    ratio("module-open", "batch-open", "doc.open / tarvik-batch open")
    ratio("pandas", "module-open", "pandas.read_csv(usecols) / doc.open")
    ratio("add", "numpy-copy", "doc.add / numpy copy of x and y")
    print(f"{'doc.graphs[0].y per call':44s} {median['view'][0] * 1e6:8.2f} us "
          f"(numpy y.view() {median['numpy-view'][0] * 1e6:.2f} us)")
    print(f"== machine: {os.cpu_count()} cores, load average {load()}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
