#!/bin/sh
# Runs the window benchmark and its peer alternately (three rounds) and prints what each
# window adds to a spectrum's time: ours as the median over the rounds of each round's median
# paired ratio (a rectangular and a windowed spectrum timed in turn, CPU and wall), the peer's
# from its best times. The machine's load is printed before and after.
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
