#!/usr/bin/python3
"""Peer timings for bench/SaveBench.cpp: numpy.savetxt(fmt='%.15g') of the same points.

    save_peers.py DATA DIR [CALLS]

DATA holds the points as SaveBench --write-data writes them (all X, then all Y, native
doubles). The save is made once untimed, then CALLS times (3 unless given): savetxt alone,
and savetxt followed by os.fsync of the file (the flush our save ends with). The median wall
(perf_counter) and CPU (process_time) seconds are printed as one JSON object, with the
file's size.
"""
import json
import os
import statistics
import sys
import time

import numpy as np

data, folder = sys.argv[1], sys.argv[2]
calls = int(sys.argv[3]) if len(sys.argv) > 3 else 3
v = np.fromfile(data)
points = np.column_stack((v[: v.size // 2], v[v.size // 2 :]))
path = os.path.join(folder, f"save-peer-{os.getpid()}.txt")


def savetxt(flush):
    with open(path, "wb") as f:
        np.savetxt(f, points, fmt="%.15g")
        if flush:
            f.flush()
            os.fsync(f.fileno())


times = {}
for name, flush in (("savetxt", False), ("savetxt_fsync", True)):
    savetxt(flush)
    rows = []
    for _ in range(calls):
        w, c = time.perf_counter(), time.process_time()
        savetxt(flush)
        rows.append((time.perf_counter() - w, time.process_time() - c))
    times[name] = {"wall": statistics.median(r[0] for r in rows),
                   "cpu": statistics.median(r[1] for r in rows)}
size = os.path.getsize(path)
os.remove(path)
print(json.dumps({"times": times, "bytes": size}))
