#!/bin/sh
# Saving a 5,000,000-point graph: ours (SaveBench: formatting, formatting and writing
# without the final flush, the flush alone, the whole save) and numpy.savetxt(fmt='%.15g')
# of the same points, run alternately in three rounds; prints the medians of the rounds, the
# text rate in MB/s, the ratio peer ÷ ours and the machine's load at start and end.
#
#   bench/run_save_bench.sh [BUILD_DIR]   (a Release build with -DTARVIK_BENCH=ON)
#   ROUNDS=... CALLS=... PYTHON=... SAVE_BENCH_DIR=... override the rounds (3), the peer's
#   timed calls per round (3), the Python with numpy and the folder written to (a temporary
#   folder under /tmp; give one on the disk whose flush you want to measure).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build-bench}
rounds=${ROUNDS:-3}
calls=${CALLS:-3}
python=${PYTHON:-/usr/bin/python3}
bench="$build/SaveBench"
if [ ! -x "$bench" ]; then
  echo "no $bench: configure with -DTARVIK_BENCH=ON and build it" >&2
  exit 2
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
SAVE_BENCH_DIR=${SAVE_BENCH_DIR:-$tmp}
export SAVE_BENCH_DIR

echo "== start: $(nproc) cores, $(uptime)"
"$bench" --write-data "$tmp/points.f64"
i=1
while [ "$i" -le "$rounds" ]; do
  echo "== round $i: ours, then numpy (load $(cut -d' ' -f1-3 /proc/loadavg))" >&2
  "$bench" --benchmark_format=json --benchmark_repetitions=3 \
    --benchmark_report_aggregates_only=true >"$tmp/ours-$i.json"
  "$python" "$here/save_peers.py" "$tmp/points.f64" "$SAVE_BENCH_DIR" "$calls" >"$tmp/peer-$i.json"
  i=$((i + 1))
done

"$python" - "$tmp" "$rounds" <<'PY'
import json, statistics, sys
tmp, rounds = sys.argv[1], int(sys.argv[2])
unit = {"ms": 1e-3, "us": 1e-6, "ns": 1e-9, "s": 1.0}
ours, peer, rate = {}, {}, {}
for r in range(1, rounds + 1):
    for b in json.load(open(f"{tmp}/ours-{r}.json"))["benchmarks"]:
        if b.get("aggregate_name") == "median":
            k = unit[b["time_unit"]]
            ours.setdefault(b["run_name"], []).append((b["real_time"] * k, b["cpu_time"] * k))
            if "bytes_per_second" in b:
                rate.setdefault(b["run_name"], []).append(b["bytes_per_second"] / 1e6)
    for name, t in json.load(open(f"{tmp}/peer-{r}.json"))["times"].items():
        peer.setdefault(name, []).append((t["wall"], t["cpu"]))

def med(rows, i):
    return statistics.median(row[i] for row in rows)

print(f"medians of {rounds} rounds, ms per save of 5,000,000 points; ratio = numpy ÷ ours")
print(f"{'case':44s} {'ours wall':>9s} {'ours cpu':>9s} {'MB/s':>6s} {'np wall':>9s} "
      f"{'np cpu':>9s} {'ratio wall':>10s}")
cases = [
    ("format only", "BM_Format/real_time", None),
    ("format + write, no flush (goal >= 400 MB/s)", "BM_FormatAndWrite/real_time", "savetxt"),
    ("final flush alone", "BM_Flush/real_time", None),
    ("whole save (goal >= 10x savetxt)", "BM_WholeSave/real_time", "savetxt"),
    ("whole save vs savetxt + fsync", "BM_WholeSave/real_time", "savetxt_fsync"),
]
for label, o, p in cases:
    ow, oc = med(ours[o], 0) * 1e3, med(ours[o], 1) * 1e3
    mbs = f"{statistics.median(rate[o]):6.0f}" if o in rate else " " * 6
    if p is None:
        print(f"{label:44s} {ow:9.1f} {oc:9.1f} {mbs}")
        continue
    pw, pc = med(peer[p], 0) * 1e3, med(peer[p], 1) * 1e3
    print(f"{label:44s} {ow:9.1f} {oc:9.1f} {mbs} {pw:9.1f} {pc:9.1f} {pw / ow:9.2f}x")
PY
echo "== end: $(uptime)"
