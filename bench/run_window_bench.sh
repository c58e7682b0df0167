#!/bin/sh
# Runs the window benchmark and its peer alternately (three rounds) and prints what each
# window adds to a spectrum's time, ours and the peer's, from the best of all rounds.
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
  "$build/WindowBench" --benchmark_format=json --benchmark_repetitions=3 \
    --benchmark_display_aggregates_only=false >"$tmp/ours$round.json"
  /usr/bin/python3 "$here/window_peers.py" >"$tmp/peers$round.json"
done
echo "load after: $(cat /proc/loadavg)"
/usr/bin/python3 - "$tmp" <<'PY'
import json, os, sys
tmp = sys.argv[1]
unit = {"ms": 1e-3, "us": 1e-6, "ns": 1e-9, "s": 1.0}
wall, cpu, peers = {}, {}, {}
for r in (1, 2, 3):
    for b in json.load(open(os.path.join(tmp, f"ours{r}.json")))["benchmarks"]:
        if b.get("run_type") != "iteration":
            continue
        key = b["label"]
        f = unit[b["time_unit"]]
        wall[key] = min(wall.get(key, 1e9), b["real_time"] * f)
        cpu[key] = min(cpu.get(key, 1e9), b["cpu_time"] * f)
    for k, v in json.load(open(os.path.join(tmp, f"peers{r}.json"))).items():
        peers[k] = min(peers.get(k, 1e9), v)
names = ["rectangular", "hann", "hamming", "blackman", "blackman-harris", "flattop",
         "kaiser", "tukey"]
print(f"{'window':16s} {'FFT 2^20 wall, ms':>18s} {'cpu':>8s} {'added':>7s}   "
      f"{'DFT M=1e6 wall, ms':>18s} {'cpu':>8s} {'added':>7s}   {'numpy+scipy added':>17s}")
for n in names:
    row = f"{n:16s}"
    for path in ("fft", "dft"):
        w, c = wall[f"{path} {n}"], cpu[f"{path} {n}"]
        added = w / wall[f"{path} rectangular"] - 1
        row += f" {w * 1e3:18.2f} {c * 1e3:8.2f} {added * 100:6.1f}%  "
    row += f" {(peers['rfft_' + n] / peers['rfft_rectangular'] - 1) * 100:16.1f}%"
    print(row)
for n in names[1:]:
    k = f"{n}"
    if k in wall:
        print(f"window alone, 2^20 samples, {n}: {wall[k] * 1e3:.2f} ms")
PY
