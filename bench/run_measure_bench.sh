#!/bin/sh
# Pulse measurement and cursor statistics on a 10,000,000-point record: ours
# (MeasureBench) and numpy (measure_peers.py) on the same record, run alternately in
# three rounds; prints the medians of the rounds, the ratio peer ÷ ours, the machine's
# load at start and end, and checks that both sides found the same values.
#
#   bench/run_measure_bench.sh [BUILD_DIR]   (a build with -DTARVIK_BENCH=ON)
#   ROUNDS=... CALLS=... PYTHON=... override the rounds (3), the peer's timed calls per
#   round (5; ours takes the median of 5 Google Benchmark repetitions) and the Python
#   with numpy.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build-bench}
rounds=${ROUNDS:-3}
calls=${CALLS:-5}
python=${PYTHON:-/usr/bin/python3}
bench="$build/MeasureBench"
if [ ! -x "$bench" ]; then
  echo "no $bench: configure with -DTARVIK_BENCH=ON and build it" >&2
  exit 2
fi
tmp=$(mktemp -d)
. "$here/load_mode.sh"  # LOADED=1: one core kept busy by a second process
trap 'stop_load; rm -rf "$tmp"' EXIT
echo "== condition: $condition"

echo "== start: $(nproc) cores, $(uptime)"
"$bench" --write-data "$tmp/record.f64"
"$bench" --values >"$tmp/ours-values.json"
narrow=$("$python" -c 'import json, sys; print(json.dumps(json.load(open(sys.argv[1]))["narrow_range"]))' \
  "$tmp/ours-values.json")

i=1
while [ "$i" -le "$rounds" ]; do
  echo "== round $i: ours, then numpy (load $(cut -d' ' -f1-3 /proc/loadavg))" >&2
  "$bench" --benchmark_format=json --benchmark_repetitions=5 \
    --benchmark_report_aggregates_only=true >"$tmp/ours-$i.json"
  "$python" "$here/measure_peers.py" "$tmp/record.f64" "$calls" "$narrow" >"$tmp/peer-$i.json"
  i=$((i + 1))
done

"$python" - "$tmp" "$rounds" <<'PY'
import json, math, statistics, sys
tmp, rounds = sys.argv[1], int(sys.argv[2])
unit = {"ms": 1e-3, "us": 1e-6, "ns": 1e-9, "s": 1.0}
ours, peer = {}, {}
for r in range(1, rounds + 1):
    for b in json.load(open(f"{tmp}/ours-{r}.json"))["benchmarks"]:
        if b.get("aggregate_name") == "median":
            k = unit[b["time_unit"]]
            ours.setdefault(b["run_name"].split("/")[0], []).append((b["real_time"] * k, b["cpu_time"] * k))
    for name, t in json.load(open(f"{tmp}/peer-{r}.json"))["times"].items():
        peer.setdefault(name, []).append((t["wall"], t["cpu"]))

def med(rows, i):
    return statistics.median(row[i] for row in rows)

cases = [
    ("measurement, fully visible (goal < 20 ms)", "BM_MeasureFullyVisible", "measure_full"),
    ("measurement, 100,000 visible (binary search)", "BM_MeasureNarrowRange", "measure_narrow"),
    ("measurement, X order unknown (no peer)", "BM_MeasureUnknownOrder", None),
    ("cursor statistics, 10M between (goal < 20 ms)", "BM_CursorStatsAll", "cursors_all"),
]
print(f"medians of {rounds} rounds, ms per call; ratio = numpy ÷ ours")
print(f"{'case':47s} {'ours wall':>9s} {'ours cpu':>9s} {'np wall':>9s} {'np cpu':>9s} "
      f"{'ratio wall':>10s} {'ratio cpu':>9s}")
for label, o, p in cases:
    ow, oc = med(ours[o], 0) * 1e3, med(ours[o], 1) * 1e3
    if p is None:
        print(f"{label:47s} {ow:9.3f} {oc:9.3f}")
        continue
    pw, pc = med(peer[p], 0) * 1e3, med(peer[p], 1) * 1e3
    print(f"{label:47s} {ow:9.3f} {oc:9.3f} {pw:9.3f} {pc:9.3f} {pw / ow:9.2f}x {pc / oc:8.2f}x")

# Both sides must have measured the same thing.
mine = json.load(open(f"{tmp}/ours-values.json"))
theirs = json.load(open(f"{tmp}/peer-{rounds}.json"))["values"]
bad = []
for group in ("full", "narrow", "cursors"):
    for name, want in theirs[group].items():
        got = mine[group].get(name)
        same = (got is None and want is None) or (
            got is not None and want is not None
            and math.isclose(got, want, rel_tol=1e-9, abs_tol=1e-12))
        if not same:
            bad.append(f"{group}.{name}: ours {got}, numpy {want}")
print("values agree with numpy" if not bad else "VALUES DIFFER:\n  " + "\n  ".join(bad))
sys.exit(1 if bad else 0)
PY
echo "== end: $(uptime)"
