#!/usr/bin/python3
"""The Python module against tarvik-batch and the peers, alternately in one run.

Usage: python_bench.py CSV TARVIK_BATCH [ROUNDS]
       python_bench.py --add-only [ROUNDS]

CSV is the 5,000,000-record 4-channel oscilloscope export of ReadersBench generate-osc.
Each round measures, in this order:
  batch-open    tarvik-batch -e 'open CSV' (a fresh process: start and exit included)
  module-open   doc.open(CSV) on a fresh tarvik.Document in this process
  pandas        pandas.read_csv(CSV, header=None, usecols=time and value columns)
  add           doc.add(x, y) of 10,000,000 points (float64 arrays)
  numpy-copy    x.copy(), y.copy() of the same arrays: one copy of the points
  add-f32       doc.add(x32, y32) of the same points as float32 arrays (converted)
  numpy-f32     x32.astype(float64), y32.astype(float64): one conversion of the points
  view          doc.graphs[0].y on the 10,000,000-point graph (median of 2,000 calls)
  numpy-view    y.view() of a numpy array (median of 2,000 calls)
The four add and numpy runs alternate ADD_CALLS times (5 unless set in the environment)
per round, after one untimed pass of each. --add-only measures only them. Prints each run (wall and CPU seconds), the
medians and the ratios, with the load average.
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


def numpy_convert(x, y):
    wall, cpu, copies = timed(lambda: (x.astype(np.float64), y.astype(np.float64)))
    del copies
    return wall, cpu


ADD_RUNS = ("add", "numpy-copy", "add-f32", "numpy-f32")


def add_rounds(runs, points, calls):
    """doc.add and its peers, alternately; returns a document holding the float64 graph."""
    x, y, x32, y32 = points
    doc = None
    for _ in range(calls):
        del doc
        wall, cpu, doc = add_points(x, y)
        runs["add"].append((wall, cpu))
        runs["numpy-copy"].append(numpy_copy(x, y))
        wall, cpu, other = add_points(x32, y32)
        del other
        runs["add-f32"].append((wall, cpu))
        runs["numpy-f32"].append(numpy_convert(x32, y32))
    return doc


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


def report(runs, csv):
    median = {name: (statistics.median(v[0] for v in values),
                     statistics.median(v[1] for v in values)) for name, values in runs.items()}
    print("== medians (seconds: wall, cpu; view calls: wall per call)")
    for name, (wall, cpu) in median.items():
        print(f"{name:12s} wall={wall:.6f} cpu={cpu:.6f}")

    def ratio(a, b, label):
        print(f"{label:44s} {median[a][0] / median[b][0]:6.2f}x wall "
              f"{median[a][1] / max(median[b][1], 1e-12):6.2f}x cpu")

    if csv:
        mb = os.path.getsize(csv) / 1e6
        print(f"module open: {mb / median['module-open'][0]:.0f} MB/s")
        ratio("module-open", "batch-open", "doc.open / tarvik-batch open")
        ratio("pandas", "module-open", "pandas.read_csv(usecols) / doc.open")
    ratio("add", "numpy-copy", "doc.add / numpy copy of x and y")
    ratio("add-f32", "numpy-f32", "doc.add of float32 / numpy astype(float64)")
    if csv:
        print(f"{'doc.graphs[0].y per call':44s} {median['view'][0] * 1e6:8.2f} us "
              f"(numpy y.view() {median['numpy-view'][0] * 1e6:.2f} us)")


def main():
    add_only = len(sys.argv) in (2, 3) and sys.argv[1] == "--add-only"
    if not add_only and len(sys.argv) not in (3, 4):
        print(__doc__, file=sys.stderr)
        return 2
    csv, batch = (None, None) if add_only else (sys.argv[1], sys.argv[2])
    rounds = int(sys.argv[-1]) if len(sys.argv) == (3 if add_only else 4) else 3
    calls = int(os.environ.get("ADD_CALLS", "5"))
    names = ADD_RUNS if add_only else ("batch-open", "module-open", "pandas") + ADD_RUNS + (
        "view", "numpy-view")
    runs = {name: [] for name in names}
    n = 10_000_000
    x = np.arange(n, dtype=np.float64) * 0.1
    y = np.sin(x * 1e-3)
    points = (x, y, x.astype(np.float32), y.astype(np.float32))
    print(f"== {os.cpu_count()} cores, load average before: {load()}")
    if csv:
        with open(csv, "rb") as f:  # every reader starts from the page cache
            while f.read(1 << 24):
                pass
    # The first runs of a process find the page allocator cold (huge pages to assemble);
    # one untimed pass of each keeps that out of the medians.
    add_rounds({name: [] for name in ADD_RUNS}, points, 1)
    for r in range(rounds):
        done = {name: len(values) for name, values in runs.items()}
        if csv:
            runs["batch-open"].append(batch_open(csv, batch))
            runs["module-open"].append(module_open(csv))
            runs["pandas"].append(pandas_open(csv))
        doc = add_rounds(runs, points, calls)
        if csv:
            runs["view"].append(per_call(lambda: doc.graphs[0].y))
            runs["numpy-view"].append(per_call(y.view))
        del doc
        # in the order they ran: the opens, the alternating adds, the views
        order = [(name, i) for name in names if name not in ADD_RUNS[1:]
                 for i in range(1 if name != "add" else calls)]
        order = [(n, i) for name, i in order for n in (ADD_RUNS if name == "add" else (name,))]
        for name, i in order:
            wall, cpu = runs[name][done[name] + i]
            print(f"round {r + 1} {name:12s} wall={wall:.6f} cpu={cpu:.6f}", flush=True)
        print(f"round {r + 1} load average {load()}", flush=True)
    print(f"== load average after: {load()}")
    report(runs, csv)
    print(f"== machine: {os.cpu_count()} cores, load average {load()}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
