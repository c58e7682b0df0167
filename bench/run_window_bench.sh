#!/bin/sh
# Runs the window benchmark and its peer alternately (three rounds) and prints what each
# window adds to a spectrum's time: ours as the median over the rounds of each round's median
# paired ratio (a rectangular and a windowed spectrum timed in turn, CPU and wall), the peer's
# from its best times. The machine's load is printed before and after.
# Then, when the build has tarvik-batch, the first spectrum of a fresh process (a batch run
# is one): a DFT spectrum of a graph of 10^6 points over 0.5 ms (M = 10^6, K = 1000) with no
# window, kaiser and hann in turn, ten times each; the medians of each run's CPU time, of
# the CPU a window adds to the rectangular run before it, and of the page faults.
# Usage: bench/run_window_bench.sh [build-dir]   (a build with -DTARVIK_BENCH=ON)
set -e
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build-bench}
if [ ! -x "$build/WindowBench" ]; then
  echo "no $build/WindowBench: configure with -DTARVIK_BENCH=ON and build it" >&2
  exit 2
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
echo "load before: $(cat /proc/loadavg)"
for round in 1 2 3; do
  "$build/WindowBench" --benchmark_format=json >"$tmp/ours$round.json"
  /usr/bin/python3 "$here/window_peers.py" >"$tmp/peers$round.json"
done
echo "load after: $(cat /proc/loadavg)"
/usr/bin/python3 - "$tmp" <<'PY'
import json, os, statistics, sys
tmp = sys.argv[1]
unit = {"ms": 1e-3, "us": 1e-6, "ns": 1e-9, "s": 1.0}
rows, alone, peers = {}, {}, {}
for r in (1, 2, 3):
    for b in json.load(open(os.path.join(tmp, f"ours{r}.json")))["benchmarks"]:
        if b.get("run_type") != "iteration":
            continue
        if b["name"].startswith("BM_WindowAdded"):
            rows.setdefault(b["label"], []).append(b)
        else:
            f = unit[b["time_unit"]]
            key = ("made " if b["name"].startswith("BM_HalfWindow") else "applied ") + b["label"]
            alone.setdefault(key, []).append(b["cpu_time"] * f)
    for k, v in json.load(open(os.path.join(tmp, f"peers{r}.json"))).items():
        peers[k] = min(peers.get(k, 1e9), v)
med = lambda label, field: statistics.median(b[field] for b in rows[label])
names = ["hann", "hamming", "blackman", "blackman-harris", "flattop", "kaiser", "tukey"]
print("Added to a spectrum's time, median of the rounds' median paired ratios "
      "(plain = the rectangular window in the same iterations):")
head = f"{'window':16s}"
for path in ("FFT 2^20", "DFT M=1e6"):
    head += f" | {path + ' plain cpu ms':>22s} {'cpu':>7s} {'wall':>7s}"
print(head + f" | {'numpy+scipy added':>17s}")
for n in names:
    row = f"{n:16s}"
    for path in ("fft", "dft"):
        label = f"{path} {n}"
        row += (f" | {med(label, 'plain_cpu_ms'):22.2f} {med(label, 'added_cpu_pct'):6.2f}%"
                f" {med(label, 'added_wall_pct'):6.2f}%")
    row += f" | {(peers['rfft_' + n] / peers['rfft_rectangular'] - 1) * 100:16.1f}%"
    print(row)
for n in names:
    print(f"2^20 samples, {n}: first half made {min(alone['made ' + n]) * 1e3:.3f} ms, "
          f"made and applied {min(alone['applied ' + n]) * 1e3:.3f} ms (CPU, best)")
PY
if [ -x "$build/tarvik-batch" ]; then
  echo "fresh processes, load before: $(cat /proc/loadavg)"
  /usr/bin/python3 - "$build/tarvik-batch" "$tmp" <<'PY'
import os, statistics, subprocess, sys
batch, tmp = sys.argv[1], sys.argv[2]
graph = os.path.join(tmp, "pulse.csv")
with open(graph, "w") as f:  # X in seconds, 0.5 ns apart: 10^6 points over 0.5 ms
    for i in range(1000000):
        f.write("%.10e,%.6f\n" % (i * 0.5e-9, 0.001 * ((i * 7919) % 1000)))
cases = ["rectangular", "kaiser", "hann"]
runs = {c: [] for c in cases}
for _ in range(10):
    for c in cases:
        p = subprocess.Popen([batch, "-e", f"open {graph}; spectrum graphs=1 kind=dft window={c}"],
                             stdout=subprocess.DEVNULL)
        _, status, usage = os.wait4(p.pid, 0)
        if status != 0:
            sys.exit(f"tarvik-batch failed for window={c}")
        runs[c].append((usage.ru_utime + usage.ru_stime, usage.ru_minflt))
print("first spectrum of a fresh process (the whole run: reading the graph, the spectrum), "
      "medians of 10:")
for c in cases:
    cpu = statistics.median(r[0] for r in runs[c]) * 1e3
    faults = statistics.median(r[1] for r in runs[c])
    added = statistics.median((a[0] - b[0]) * 1e3 for a, b in zip(runs[c], runs["rectangular"]))
    print(f"{c:12s} CPU {cpu:7.1f} ms  added (paired) {added:+6.2f} ms  page faults {faults:6.0f}")
PY
  echo "fresh processes, load after: $(cat /proc/loadavg)"
fi
