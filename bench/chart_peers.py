#!/usr/bin/python3
"""Peer timings for bench/gui/ChartRepaintBench.cpp: matplotlib's Agg canvas drawing the
same graphs at the same pixel size.

    chart_peers.py DATA_DIR [CALLS]

DATA_DIR holds the files `ChartRepaintBench --write-data DATA_DIR` writes (sorted.f64,
jittered.f64, scope.f64: per graph its point count as a 64-bit integer, then all X, then
all Y, native doubles). Each case builds a Figure of 1,000 x 600 pixels (10 x 6 inches at
100 dpi) on a FigureCanvasAgg with one Line2D per graph, 1 pixel wide, autoscaled, draws
it once untimed, then times CALLS calls of `canvas.draw()` (3 unless given): wall
(perf_counter) and CPU (process_time) seconds, medians printed as one JSON object.

- chart_sorted, chart_jittered: the benchmark chart (one 10M-point and four 1M-point
  graphs), sorted and with X jittered by up to two samples; the same Figure redrawn.
- resize_scope: the four 2M-point scope channels; before every draw the Figure gets the
  next size of the same sequence ChartRepaintBench's resize frames go through.
Matplotlib's own line simplification (path.simplify, on by default) is left on.
"""
import json
import statistics
import sys
import time

import matplotlib

matplotlib.use("Agg")
import numpy as np  # noqa: E402
from matplotlib.backends.backend_agg import FigureCanvasAgg  # noqa: E402
from matplotlib.figure import Figure  # noqa: E402

DPI = 100


def read_graphs(path):
    raw = np.fromfile(path, dtype=np.uint8)
    graphs, at = [], 0
    while at < raw.size:
        n = int(raw[at:at + 8].view(np.uint64)[0])
        at += 8
        xy = raw[at:at + 16 * n].view(np.float64)
        graphs.append((xy[:n], xy[n:]))
        at += 16 * n
    return graphs


def figure(graphs, width_px=1000, height_px=600):
    fig = Figure(figsize=(width_px / DPI, height_px / DPI), dpi=DPI)
    canvas = FigureCanvasAgg(fig)
    ax = fig.add_subplot()
    for x, y in graphs:
        ax.plot(x, y, linewidth=72 / DPI)  # one pixel
    return fig, canvas


def timed(draw, calls):
    draw(0)  # untimed: caches, first layout
    walls, cpus = [], []
    for k in range(1, calls + 1):
        w0, c0 = time.perf_counter(), time.process_time()
        draw(k)
        walls.append(time.perf_counter() - w0)
        cpus.append(time.process_time() - c0)
    return {"wall": statistics.median(walls), "cpu": statistics.median(cpus)}


def main():
    data, calls = sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 3
    times = {}
    for name in ("sorted", "jittered"):
        fig, canvas = figure(read_graphs(f"{data}/{name}.f64"))
        times[f"chart_{name}"] = timed(lambda _k: canvas.draw(), calls)
        del fig, canvas
    fig, canvas = figure(read_graphs(f"{data}/scope.f64"))

    def resized(frame):
        # The sizes ChartRepaintBench's resize frames go through.
        w, h = 1000 + 8 * (frame % 25), 600 + 4 * (frame % 25)
        fig.set_size_inches(w / DPI, h / DPI)
        canvas.draw()

    times["resize_scope"] = timed(resized, calls)
    print(json.dumps({"times": times, "matplotlib": matplotlib.__version__}))


if __name__ == "__main__":
    main()
