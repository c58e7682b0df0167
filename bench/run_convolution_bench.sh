#!/bin/sh
# Convolution with a step response: the batch run of ours (open both graph files, convolve)
# and a Python process (numpy.loadtxt of both files, scipy.signal.fftconvolve) on the same
# 100,000-point files, run alternately in three rounds as whole processes; prints the
# medians of wall and CPU time, the ratio peer ÷ ours, the machine's load at start and end,
# and checks that both sides computed the same sums. Then the Google Benchmark cases of
# ConvolutionBench (1,000,000 uniform points, goal under 1 s; jittered grids).
#
#   bench/run_convolution_bench.sh [BUILD_DIR]   (a Release build with -DTARVIK_BENCH=ON)
#   ROUNDS=... POINTS=... PYTHON=... override the rounds (3), the points (100000) and the
#   Python with numpy and scipy.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build-bench}
rounds=${ROUNDS:-3}
points=${POINTS:-100000}
python=${PYTHON:-/usr/bin/python3}
for exe in ConvolutionBench tarvik-batch; do
  if [ ! -x "$build/$exe" ]; then
    echo "no $build/$exe: configure with -DTARVIK_BENCH=ON and build it" >&2
    exit 2
  fi
done
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

echo "== start: $(nproc) cores, $(uptime)"
"$build/ConvolutionBench" --write-data "$tmp" "$points"

"$python" - "$tmp" "$rounds" "$build/tarvik-batch" "$here/convolution_peers.py" "$python" "$points" <<'PY'
import resource, statistics, subprocess, sys, time
import numpy as np
tmp, rounds, batch, peer, python = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4], sys.argv[5]
sig, resp = f"{tmp}/signal.grf", f"{tmp}/response.grf"
ours_cmd = [batch, "-e", f'open "{sig}" "{resp}"; convolve signal=1 response=2']
peer_cmd = [python, peer, sig, resp, f"{tmp}/peer.f64"]

def timed(cmd):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    t0 = time.perf_counter()
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)
    wall = time.perf_counter() - t0
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return wall, cpu

ours, theirs = [], []
for r in range(1, rounds + 1):
    load = open("/proc/loadavg").read().split()[:3]
    print(f"== round {r}: ours, then python (load {' '.join(load)})", file=sys.stderr)
    ours.append(timed(ours_cmd))
    theirs.append(timed(peer_cmd))

def med(rows, i):
    return statistics.median(row[i] for row in rows)

ow, oc, pw, pc = med(ours, 0), med(ours, 1), med(theirs, 0), med(theirs, 1)
print(f"medians of {rounds} rounds, whole processes, ms; ratio = python ÷ ours")
print(f"{'case':40s} {'ours wall':>9s} {'ours cpu':>9s} {'py wall':>9s} {'py cpu':>9s} "
      f"{'ratio wall':>10s} {'ratio cpu':>9s}")
label = f"open two files + convolve, {int(sys.argv[6]):,} pts"
print(f"{label:40s} {ow*1e3:9.1f} {oc*1e3:9.1f} {pw*1e3:9.1f} {pc*1e3:9.1f} "
      f"{pw/ow:9.2f}x {pc/oc:8.2f}x")

# The same sums on both sides: ours dumped by the batch runner at 17 digits.
dump = subprocess.run(ours_cmd[:2] + [ours_cmd[2] + "; dump graph=3"], check=True,
                      capture_output=True, text=True).stdout
mine = np.array([float(line.split("\t")[1]) for line in dump.splitlines() if line])
peer_sums = np.fromfile(f"{tmp}/peer.f64")
scale = np.max(np.abs(peer_sums))
diff = np.max(np.abs(mine - peer_sums)) if mine.size == peer_sums.size else float("inf")
print(f"largest difference from scipy: {diff:.3g} (largest |sum| {scale:.3g})")
sys.exit(0 if diff <= 1e-9 * max(scale, 1) else 1)
PY
echo "== ConvolutionBench (load $(cut -d' ' -f1-3 /proc/loadavg))"
"$build/ConvolutionBench" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true
echo "== end: $(uptime)"
