#!/bin/sh
# The filters against scipy: FilterBench (ours) and bench/filter_peers.py (scipy) run
# alternately, case by case, in ROUNDS rounds (2 by default) as separate processes; each
# process reports its best of REPEAT calls (3). Prints the best wall and CPU seconds of each
# side, the ratio scipy ÷ ours and the machine's load before every round.
#
#   bench/run_filter_bench.sh [BUILD_DIR]   (a Release build with -DTARVIK_BENCH=ON)
#   ROUNDS=, REPEAT=, POINTS= (10000000), PYTHON= override the defaults.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build-bench}
rounds=${ROUNDS:-2}
python=${PYTHON:-/usr/bin/python3}
if [ ! -x "$build/FilterBench" ]; then
  echo "no $build/FilterBench: configure with -DTARVIK_BENCH=ON and build it" >&2
  exit 2
fi
echo "== start: $(nproc) cores, $(uptime)"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for round in $(seq 1 "$rounds"); do
  for case in iir fir median; do
    echo "== round $round $case (load $(cut -d' ' -f1-3 /proc/loadavg))" >&2
    "$build/FilterBench" "$case" >>"$tmp/ours.txt"
    "$python" "$here/filter_peers.py" "$case" >>"$tmp/peers.txt"
  done
done
"$python" - "$tmp/ours.txt" "$tmp/peers.txt" <<'PY'
import sys
def best(path):
    rows = {}
    for line in open(path):
        case, wall, cpu, _ = line.split()
        rows[case] = min(rows.get(case, (1e300, 1e300)), (float(wall), float(cpu)))
    return rows
ours, peers = best(sys.argv[1]), best(sys.argv[2])
names = {"iir": "Butterworth 8, zero phase vs sosfiltfilt",
         "fir": "FIR 1001 taps vs oaconvolve",
         "median": "median 101 vs ndimage.median_filter"}
print(f"{'case (10M points)':42s} {'ours wall':>9s} {'ours cpu':>9s} {'scipy wall':>10s} "
      f"{'scipy cpu':>9s} {'ratio wall':>10s}")
for case in ("iir", "fir", "median"):
    (ow, oc), (pw, pc) = ours[case], peers[case]
    print(f"{names[case]:42s} {ow:9.3f} {oc:9.3f} {pw:10.3f} {pc:9.3f} {pw / ow:9.2f}x")
PY
echo "== end: $(uptime)"
