#!/bin/sh
# Runs the spectral benchmark and its peers in one go and prints the ratios.
# Usage: bench/run_spectral_bench.sh [build-dir]   (a build with -DTARVIK_BENCH=ON)
set -e
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build-bench}
if [ ! -x "$build/SpectralBench" ]; then
  echo "no $build/SpectralBench: configure with -DTARVIK_BENCH=ON and build it" >&2
  exit 2
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# The best repetition, as the peers report their best call (the machine may be shared).
"$build/SpectralBench" --benchmark_format=json --benchmark_repetitions=5 \
  --benchmark_display_aggregates_only=false >"$tmp/ours.json"
/usr/bin/python3 "$here/spectral_peers.py" >"$tmp/peers.json"
"$build/SpectralBench" --accuracy >"$tmp/accuracy.txt"
/usr/bin/python3 - "$tmp/ours.json" "$tmp/peers.json" "$tmp/accuracy.txt" <<'PY'
import json, sys
raw = json.load(open(sys.argv[1]))["benchmarks"]
best = {}
for b in raw:
    name = b["run_name"]
    if b.get("run_type") == "iteration":
        t = b["real_time"] * {"ms": 1e-3, "us": 1e-6, "ns": 1e-9, "s": 1.0}[b["time_unit"]]
        best[name] = min(best.get(name, t), t)
peers = json.load(open(sys.argv[2]))
rows = [
    ("FFT 2^20 (amplitude+phase) vs numpy rfft", best["BM_FastTransform/20/real_time"], peers["rfft_2^20"]),
    ("FFT 2^24 (amplitude+phase) vs numpy rfft", best["BM_FastTransform/24/real_time"], peers["rfft_2^24"]),
    ("DFT spectrum M=1e6 K=1000 vs scipy czt", best["BM_DftSpectrum/1000000/real_time"], peers["czt_M=1000000"]),
    ("DFT spectrum M=1e7 K=1000 vs scipy czt", best["BM_DftSpectrum/10000000/real_time"], peers["czt_M=10000000"]),
]
print(f"{'case':45s} {'ours, s':>10s} {'peer, s':>10s} {'peer/ours':>10s}")
for name, o, p in rows:
    print(f"{name:45s} {o:10.4f} {p:10.4f} {p / o:10.2f}")
direct = best["BM_DirectSum/real_time"] / (20000 * 1000)
rotation = best["BM_RotationSum/real_time"] / 16e6
print(f"direct double sum: {direct * 1e9:.2f} ns per sample-frequency pair "
      f"(M=1e7, K=1000 would take {direct * 1e10:.1f} s)")
print(f"rotation recurrence (small K): {rotation * 1e9:.2f} ns per pair")
print(open(sys.argv[3]).read().strip())
PY
