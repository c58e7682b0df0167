#!/usr/bin/python3
"""Peer timing for bench/SessionBench.cpp: h5py reading the same session file.

    session_peers.py SESSION [CALLS]

Reads every graph's x and y arrays whole (the checksums verified by the library as it
reads), once untimed, then CALLS times (3 unless given); prints the median wall
(perf_counter) and CPU (process_time) seconds per call as one JSON object, with the XOR
and the wrapping sum of every value's bit pattern, which SessionBench prints too, so the
runner can check that both sides read the same points.
"""
import json
import statistics
import sys
import time

import h5py
import numpy as np


def read_all(path):
    arrays = []
    with h5py.File(path, "r") as f:
        for name in sorted(f["graphs"], key=int):
            group = f["graphs"][name]
            arrays.append(group["x"][:])
            arrays.append(group["y"][:])
    return arrays


def main():
    path = sys.argv[1]
    calls = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    arrays = read_all(path)
    walls, cpus = [], []
    for _ in range(calls):
        wall, cpu = time.perf_counter(), time.process_time()
        arrays = read_all(path)
        walls.append(time.perf_counter() - wall)
        cpus.append(time.process_time() - cpu)
    xor, total = 0, 0
    for a in arrays:
        bits = a.view(np.uint64)
        if bits.size:
            xor ^= int(np.bitwise_xor.reduce(bits))
            total = (total + int(bits.sum(dtype=np.uint64))) % 2**64
    json.dump({"open": {"wall": statistics.median(walls), "cpu": statistics.median(cpus)},
               "points": sum(a.size for a in arrays) // 2,
               "xor": f"{xor:016x}", "sum": f"{total:016x}"}, sys.stdout)
    print()


if __name__ == "__main__":
    main()
