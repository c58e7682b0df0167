#!/bin/sh
# Sessions of one 10,000,000-point graph and four 1,000,000-point graphs: saving (the
# flush to the disk timed apart) and opening with ours (SessionBench), against reading the
# same points from the oscilloscope CSV exports with our reader (in the same process, the
# same round), and h5py reading the same file (session_peers.py) as the peer. Rounds of
# ours and the peer alternate; prints the medians, the ratios, the save throughput of
# point data and the machine's load at start and end, and checks that every side read the
# same points bit for bit.
#
#   bench/run_session_bench.sh [BUILD_DIR]   (a Release build with -DTARVIK_BENCH=ON)
#   ROUNDS=... CALLS=... PYTHON=... override the rounds (5), the peer's timed calls per
#   round (3) and the Python with h5py.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build-bench}
rounds=${ROUNDS:-5}
calls=${CALLS:-3}
python=${PYTHON:-/usr/bin/python3}
for program in SessionBench ReadersBench; do
  if [ ! -x "$build/$program" ]; then
    echo "no $build/$program: configure with -DTARVIK_BENCH=ON and build it" >&2
    exit 2
  fi
done
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

echo "== start: $(nproc) cores, $(uptime)"
"$build/ReadersBench" generate-osc "$tmp/long.csv" 10000000 1
"$build/ReadersBench" generate-osc "$tmp/four.csv" 1000000 4

i=1
while [ "$i" -le "$rounds" ]; do
  echo "== round $i: ours, then h5py (load $(cut -d' ' -f1-3 /proc/loadavg))" >&2
  "$build/SessionBench" round "$tmp/session.h5" "$tmp/long.csv" "$tmp/four.csv" \
    >"$tmp/ours-$i.json"
  "$python" "$here/session_peers.py" "$tmp/session.h5" "$calls" >"$tmp/peer-$i.json"
  i=$((i + 1))
done

"$python" - "$tmp" "$rounds" <<'PY'
import json, statistics, sys
tmp, rounds = sys.argv[1], int(sys.argv[2])
ours = [json.load(open(f"{tmp}/ours-{r}.json")) for r in range(1, rounds + 1)]
peer = [json.load(open(f"{tmp}/peer-{r}.json")) for r in range(1, rounds + 1)]

def med(rows, case, kind):
    return statistics.median(row[case][kind] for row in rows)

point_bytes = ours[0]["point_bytes"]
print(f"{ours[0]['graphs']} graphs, {ours[0]['points']:,} points, "
      f"{point_bytes / 1e6:.0f} MB of point data, file {ours[0]['file_bytes'] / 1e6:.0f} MB; "
      f"medians of {rounds} rounds")
print(f"{'case':44s} {'wall ms':>9s} {'cpu ms':>9s}")
rows = [("oscilloscope CSV read, our reader", ours, "csv_read"),
        ("session save, ours (without the flush)", ours, "session_save"),
        ("flush of the saved file to the disk", ours, "session_flush"),
        ("session open, ours", ours, "session_open"),
        ("session open, h5py (peer)", peer, "open")]
for label, data, case in rows:
    print(f"{label:44s} {med(data, case, 'wall') * 1e3:9.1f} {med(data, case, 'cpu') * 1e3:9.1f}")
save = med(ours, "session_save", "wall")
flush = med(ours, "session_flush", "wall")
open_ours = med(ours, "session_open", "wall")
print(f"save throughput: {point_bytes / save / 1e9:.2f} GB/s of point data "
      f"({point_bytes / (save + flush) / 1e9:.2f} GB/s with the flush) (goal >= 1 GB/s)")
print(f"open vs CSV read: {med(ours, 'csv_read', 'wall') / open_ours:.1f}x faster "
      f"(cpu {med(ours, 'csv_read', 'cpu') / med(ours, 'session_open', 'cpu'):.1f}x) (goal >= 5x)")
print(f"open, h5py / ours: wall {med(peer, 'open', 'wall') / open_ours:.2f}x, "
      f"cpu {med(peer, 'open', 'cpu') / med(ours, 'session_open', 'cpu'):.2f}x")
bad = [r for r in range(rounds) if not ours[r]["same"]
       or (ours[r]["xor"], ours[r]["sum"]) != (peer[r]["xor"], peer[r]["sum"])
       or ours[r]["points"] != peer[r]["points"]]
print("every round: the session holds the CSV's points bit for bit, and h5py read the same"
      if not bad else f"POINTS DIFFER in rounds {[r + 1 for r in bad]}")
sys.exit(1 if bad else 0)
PY
echo "== end: $(uptime)"
