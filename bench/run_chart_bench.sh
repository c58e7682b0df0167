#!/bin/sh
# Chart repaint against matplotlib: ours (ChartRepaintBench, offscreen) and matplotlib's
# Agg canvas (chart_peers.py) drawing the same graphs at the same pixel size, run
# alternately in three rounds; prints the medians of the rounds (CPU and wall time per
# picture), the ratios matplotlib ÷ ours, the goals, and the machine's load at start and
# end of each round.
#
#   bench/run_chart_bench.sh [BUILD_DIR]   (a GUI build with -DTARVIK_BENCH=ON)
#   ROUNDS=... CALLS=... PYTHON=... override the rounds (3), matplotlib's timed draws per
#   round (3; ours takes the median of 3 Google Benchmark repetitions of at least 2 s
#   each) and the Python with matplotlib.
#
# Cases: the benchmark chart (one 10M-point and four 1M-point graphs, 1,000 × 600) sorted
# and with X jittered by up to two samples, each repainted with nothing changed; four
# 2M-point scope channels with the chart resized before every frame. Our CPU time is the
# process's, over all threads.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build-bench}
rounds=${ROUNDS:-3}
calls=${CALLS:-3}
python=${PYTHON:-/usr/bin/python3}
bench="$build/ChartRepaintBench"
if [ ! -x "$bench" ]; then
  echo "no $bench: configure with -DTARVIK_BENCH=ON (GUI build) and build it" >&2
  exit 2
fi
export QT_QPA_PLATFORM=offscreen
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

echo "== start: $(nproc) cores, $(uptime)"
"$bench" --write-data "$tmp"

i=1
while [ "$i" -le "$rounds" ]; do
  echo "== round $i: ours, then matplotlib (load $(cut -d' ' -f1-3 /proc/loadavg))" >&2
  "$bench" --benchmark_filter='BM_RepaintSorted|BM_RepaintUnsortedJittered|BM_ResizeScopeChannels' \
    --benchmark_format=json --benchmark_repetitions=3 \
    --benchmark_report_aggregates_only=true >"$tmp/ours-$i.json"
  "$python" "$here/chart_peers.py" "$tmp" "$calls" >"$tmp/peer-$i.json"
  echo "== round $i done (load $(cut -d' ' -f1-3 /proc/loadavg))" >&2
  i=$((i + 1))
done

status=0
"$python" - "$tmp" "$rounds" <<'PY' || status=$?
import json, statistics, sys
tmp, rounds = sys.argv[1], int(sys.argv[2])
unit = {"ms": 1e-3, "us": 1e-6, "ns": 1e-9, "s": 1.0}
ours, peer = {}, {}
for r in range(1, rounds + 1):
    for b in json.load(open(f"{tmp}/ours-{r}.json"))["benchmarks"]:
        if b.get("aggregate_name") == "median":
            k = unit[b["time_unit"]]
            name = b["run_name"].split("/")[0]
            ours.setdefault(name, []).append((b["real_time"] * k, b["cpu_time"] * k))
    for name, t in json.load(open(f"{tmp}/peer-{r}.json"))["times"].items():
        peer.setdefault(name, []).append((t["wall"], t["cpu"]))

def med(rows, i):
    return statistics.median(row[i] for row in rows)

# (label, ours, peer, goal for our CPU time in ms)
cases = [
    ("chart 10M + 4 x 1M, sorted", "BM_RepaintSorted", "chart_sorted", 25),
    ("chart 10M + 4 x 1M, X jittered", "BM_RepaintUnsortedJittered", "chart_jittered", 60),
    ("resize frame, 4 x 2M scope channels", "BM_ResizeScopeChannels", "resize_scope", 30),
]
print(f"medians of {rounds} rounds, ms per picture; ratio = matplotlib ÷ ours (goal >= 15x)")
print(f"{'case':37s} {'ours cpu':>9s} {'ours wall':>9s} {'mpl cpu':>9s} {'mpl wall':>9s} "
      f"{'ratio cpu':>9s} {'ratio wall':>10s}  goal (ours cpu)")
bad = []
for label, o, p, goal in cases:
    oc, ow = med(ours[o], 1) * 1e3, med(ours[o], 0) * 1e3
    pc, pw = med(peer[p], 1) * 1e3, med(peer[p], 0) * 1e3
    met = oc < goal and pc / oc >= 15
    if not met:
        bad.append(label)
    print(f"{label:37s} {oc:9.2f} {ow:9.2f} {pc:9.1f} {pw:9.1f} {pc / oc:8.1f}x {pw / ow:9.1f}x"
          f"  < {goal} ms: {'met' if met else 'NOT MET'}")
sys.exit(1 if bad else 0)
PY
echo "== end: $(uptime)"
exit "$status"
