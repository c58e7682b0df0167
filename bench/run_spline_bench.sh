#!/bin/sh
# Spline curves and the calibration conversion: ours (SplineBench) and, for the B-spline,
# scipy's BSpline with k = 2 (spline_peers.py) on the same 1,000,000-point graph, run
# alternately in three rounds. Prints the medians of the rounds with the goals, the
# B-spline's time per output point on both sides and their ratio, its page faults per call,
# the machine's load at start and end, and checks that both B-splines agree at sample points.
# LOADED=1 keeps one core busy for the run (bench/load_one_core.sh).
#
#   bench/run_spline_bench.sh [BUILD_DIR]   (a build with -DTARVIK_BENCH=ON)
#   ROUNDS=... CALLS=... PYTHON=... override the rounds (3), the peer's timed calls per
#   round (5; ours takes the median of 5 Google Benchmark repetitions) and the Python
#   with numpy and scipy.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build-bench}
rounds=${ROUNDS:-3}
calls=${CALLS:-5}
python=${PYTHON:-/usr/bin/python3}
bench="$build/SplineBench"
if [ ! -x "$bench" ]; then
  echo "no $bench: configure with -DTARVIK_BENCH=ON and build it" >&2
  exit 2
fi
tmp=$(mktemp -d)
. "$here/load_mode.sh"  # LOADED=1: one core kept busy by a second process
trap 'stop_load; rm -rf "$tmp"' EXIT
echo "== condition: $condition"

echo "== start: $(nproc) cores, $(uptime)"
"$bench" --write-data "$tmp/graph.f64"
"$bench" --values >"$tmp/ours-values.json"

i=1
while [ "$i" -le "$rounds" ]; do
  echo "== round $i: ours, then scipy (load $(cut -d' ' -f1-3 /proc/loadavg))" >&2
  "$bench" --benchmark_format=json --benchmark_repetitions=5 \
    --benchmark_report_aggregates_only=true >"$tmp/ours-$i.json"
  "$python" "$here/spline_peers.py" "$tmp/graph.f64" "$calls" >"$tmp/peer-$i.json"
  i=$((i + 1))
done

"$python" - "$tmp" "$rounds" <<'PY'
import json, math, statistics, sys
tmp, rounds = sys.argv[1], int(sys.argv[2])
unit = {"ms": 1e-3, "us": 1e-6, "ns": 1e-9, "s": 1.0}
ours, peer, faults = {}, [], []
for r in range(1, rounds + 1):
    for b in json.load(open(f"{tmp}/ours-{r}.json"))["benchmarks"]:
        if b.get("aggregate_name") == "median":
            k = unit[b["time_unit"]]
            ours.setdefault(b["run_name"].split("/")[0], []).append((b["real_time"] * k, b["cpu_time"] * k))
            if "page_faults" in b:
                faults.append(b["page_faults"])
    p = json.load(open(f"{tmp}/peer-{r}.json"))
    peer.append((p["wall"], p["cpu"]))

def med(rows, i):
    return statistics.median(row[i] for row in rows)

print(f"medians of {rounds} rounds, ms per call")
print(f"{'case':44s} {'wall':>9s} {'cpu':>9s} {'goal':>8s}")
for label, name, goal in [
    ("B-spline, 1,000,000 points", "BM_BSpline1M", 100),
    ("Catmull-Rom, 1,000,000 points", "BM_CatmullRom1M", 100),
    ("calibration, 10,000,000 points", "BM_Calibration10M", 1000),
]:
    print(f"{label:44s} {med(ours[name], 0) * 1e3:9.1f} {med(ours[name], 1) * 1e3:9.1f} "
          f"{'< ' + str(goal):>8s}")
mine = json.load(open(f"{tmp}/ours-values.json"))
count = mine["count"]
ow, oc = med(ours["BM_BSpline1M"], 0), med(ours["BM_BSpline1M"], 1)
pw, pc = med(peer, 0), med(peer, 1)
print(f"B-spline per output point ({count} points), ns: ours wall {ow / count * 1e9:.1f}, "
      f"cpu {oc / count * 1e9:.1f}; scipy BSpline k=2 wall {pw / count * 1e9:.1f}, "
      f"cpu {pc / count * 1e9:.1f}; ratio scipy/ours wall {pw / ow:.2f}x, cpu {pc / oc:.2f}x")
# The curve's 160 MB are new pages on every call: 4 KiB pages would be ~39,000 faults.
print(f"B-spline page faults per call (median of the rounds): {statistics.median(faults):.0f}; "
      f"goal {'met' if oc * 1e3 < 100 else 'NOT met'} (< 100 ms CPU: {oc * 1e3:.1f} ms)")

theirs = json.load(open(f"{tmp}/peer-{rounds}.json"))
bad = [] if theirs["count"] == count else [f"count: ours {count}, scipy {theirs['count']}"]
for (i, x, y), (j, px, py) in zip(mine["points"], theirs["points"]):
    # Ours sums in single precision: agreement to float rounding of the curve's scale.
    if i != j or not (math.isclose(x, px, rel_tol=1e-6, abs_tol=1e-6) and
                      math.isclose(y, py, rel_tol=1e-5, abs_tol=1e-6)):
        bad.append(f"point {i}: ours ({x}, {y}), scipy ({px}, {py})")
print("curves agree with scipy" if not bad else "CURVES DIFFER:\n  " + "\n  ".join(bad))
sys.exit(1 if bad else 0)
PY
echo "== end: $(uptime)"
