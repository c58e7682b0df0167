#!/bin/sh
# Streaming transforms on 10,000,000 points — the derivative, the sum of two graphs on
# different grids and RC differentiation with every step a different length: ours
# (TransformsBench) and numpy (transforms_peers.py) on the same points, run alternately in
# three rounds; prints the medians of the rounds (wall and CPU time), the ratio numpy ÷
# ours, the memory floor (the bytes each transform reads and writes, at the speed of a
# memcpy measured in the same round) and ours ÷ floor, whether the sum and irregular RC
# meet their goals, the machine's load at start and end, and checks that numpy's results
# agree with ours.
#
#   bench/run_transforms_bench.sh [BUILD_DIR]   (a Release build with -DTARVIK_BENCH=ON)
#   LOADED=1 ...                                with one core kept busy (bench/load_mode.sh)
#   ROUNDS=... CALLS=... PYTHON=... override the rounds (3), the peer's timed calls per
#   round (5; ours takes the median of 5 Google Benchmark repetitions) and the Python
#   with numpy.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build-bench}
rounds=${ROUNDS:-3}
calls=${CALLS:-5}
python=${PYTHON:-/usr/bin/python3}
bench="$build/TransformsBench"
if [ ! -x "$bench" ]; then
  echo "no $bench: configure with -DTARVIK_BENCH=ON and build it" >&2
  exit 2
fi
tmp=$(mktemp -d)
. "$here/load_mode.sh"  # LOADED=1: one core kept busy by a second process
trap 'stop_load; rm -rf "$tmp"' EXIT
echo "== condition: $condition"

echo "== start: $(nproc) cores, $(uptime)"
"$bench" --write-data "$tmp"
"$bench" --values "$tmp"

filter='BM_Derivative|BM_RcDifferentiationIrregular|BM_SumOfTwoGraphs|BM_CopyBytes'
i=1
while [ "$i" -le "$rounds" ]; do
  echo "== round $i: ours, then numpy (load $(cut -d' ' -f1-3 /proc/loadavg))" >&2
  "$bench" --benchmark_filter="$filter" --benchmark_format=json --benchmark_repetitions=5 \
    --benchmark_report_aggregates_only=true >"$tmp/ours-$i.json"
  "$python" "$here/transforms_peers.py" "$tmp" "$calls" >"$tmp/peer-$i.json"
  i=$((i + 1))
done

"$python" - "$tmp" "$rounds" <<'PY'
import json, statistics, sys
tmp, rounds = sys.argv[1], int(sys.argv[2])
unit = {"ms": 1e-3, "us": 1e-6, "ns": 1e-9, "s": 1.0}
ours, peer, copy_speed = {}, {}, []
for r in range(1, rounds + 1):
    for b in json.load(open(f"{tmp}/ours-{r}.json"))["benchmarks"]:
        if b.get("aggregate_name") != "median":
            continue
        name = b["run_name"].split("/")[0]
        if name == "BM_CopyBytes":
            copy_speed.append(b["bytes_per_second"])
            continue
        k = unit[b["time_unit"]]
        ours.setdefault(name, []).append((b["real_time"] * k, b["cpu_time"] * k))
    peer_run = json.load(open(f"{tmp}/peer-{r}.json"))
    for name, t in peer_run["times"].items():
        peer.setdefault(name, []).append((t["wall"], t["cpu"]))

def med(rows, i):
    return statistics.median(row[i] for row in rows)

speed = statistics.median(copy_speed)
n = 10_000_000
# Bytes read + written: the derivative reads and writes X and Y; the sum reads two graphs'
# X and Y and writes the grid's X and Y; RC reads X and Y and writes Y.
cases = [
    ("derivative", "BM_Derivative", "derivative", 4 * 8 * n),
    ("sum of two graphs, different grids", "BM_SumOfTwoGraphs", "sum", 6 * 8 * n),
    ("RC differentiation, irregular steps", "BM_RcDifferentiationIrregular", "rc_irregular",
     3 * 8 * n),
]
print(f"medians of {rounds} rounds, ms per call on 10M points; ratio = numpy ÷ ours (wall); "
      f"floor = bytes read + written at the memcpy speed {speed / 1e9:.2f} GB/s")
print(f"{'case':37s} {'ours wall':>9s} {'ours cpu':>9s} {'np wall':>9s} {'np cpu':>9s} "
      f"{'ratio':>7s} {'floor':>7s} {'ours/floor':>10s}")
for label, o, p, traffic in cases:
    ow, oc = med(ours[o], 0) * 1e3, med(ours[o], 1) * 1e3
    pw, pc = med(peer[p], 0) * 1e3, med(peer[p], 1) * 1e3
    floor = traffic / speed * 1e3
    print(f"{label:37s} {ow:9.1f} {oc:9.1f} {pw:9.1f} {pc:9.1f} {pw / ow:6.2f}x "
          f"{floor:7.1f} {ow / floor:9.2f}x")
print("(ours' CPU time of the sum and RC is the whole process's: both cores may work)")
# The goals, on the wall-clock ratio; the CPU ratio beside it is the figure that does not
# follow the machine's load.
for label, o, p, goal in [("sum of two graphs", "BM_SumOfTwoGraphs", "sum", 3.0),
                          ("RC differentiation, irregular", "BM_RcDifferentiationIrregular",
                           "rc_irregular", 2.0)]:
    wall = med(peer[p], 0) / med(ours[o], 0)
    cpu = med(peer[p], 1) / med(ours[o], 1)
    print(f"goal {label} >= {goal:.0f}x: {'met' if wall >= goal else 'not met'} "
          f"(wall {wall:.2f}x, CPU {cpu:.2f}x)")

dev = json.load(open(f"{tmp}/peer-{rounds}.json"))["deviation"]
bad = []
if not (dev["derivative_x_exact"] and dev["derivative_y_exact"]):
    bad.append("derivative differs from numpy's")
# numpy's grid points may lie one unit of the last place from ours (double against
# extended precision), which moves the interpolated value by that much times the slope.
if dev["sum_grid_rel"] > 1e-15 or dev["sum_rel"] > 1e-10:
    bad.append(f"sum: grid {dev['sum_grid_rel']:.3g}, values {dev['sum_rel']:.3g}")
if dev["rc_rel"] > 1e-9:
    bad.append(f"RC: {dev['rc_rel']:.3g}")
print(f"numpy vs ours: derivative identical; sum within {dev['sum_rel']:.2g} of the largest "
      f"value; RC within {dev['rc_rel']:.2g}" if not bad else "RESULTS DIFFER:\n  " + "\n  ".join(bad))
sys.exit(1 if bad else 0)
PY
echo "== end: $(uptime)"
