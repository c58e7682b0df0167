#!/bin/sh
# Oscilloscope CSV exports with header rows against the "Record Length" export on the same
# points: ROWS samples on each of 4 channels written in each layout (bench/ScopeCsvBench.cpp),
# read in rounds by the open command, each in a fresh process, with pandas.read_csv (when
# installed) and numpy.loadtxt of the Rigol file as peers. The median of the rounds is kept
# for each reader (wall and CPU seconds); the ratios are per point, with the load.
#
#   bench/run_scope_csv_bench.sh [DATA_DIR] [BUILD_DIR]
#   ROWS=... ROUNDS=... PYTHON=... override the size, the number of rounds and the Python.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
data=${1:-${TMPDIR:-/tmp}/tarvik-bench}
build=${2:-$root/build-bench}
rows=${ROWS:-5000000}
rounds=${ROUNDS:-3}
python=${PYTHON:-/usr/bin/python3}

cmake -S "$root" -B "$build" -G Ninja -DTARVIK_GUI=OFF -DTARVIK_TESTS=OFF -DTARVIK_BENCH=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C "$build" ScopeCsvBench
bench="$build/ScopeCsvBench"
peers="$root/bench/scope_csv_peers.py"

mkdir -p "$data"
layouts="record-length rigol keysight siglent"
for layout in $layouts; do
  file="$data/scope-$layout-${rows}x4.csv"
  [ -s "$file" ] || "$bench" generate "$layout" "$file" "$rows" 4
  cat "$file" >/dev/null  # every reader starts from the page cache
done

log=$(mktemp)
trap 'rm -f "$log"' EXIT
echo "== runs, alternating (seconds: wall; cpu: user + system; peak_MB: peak resident memory)"
echo "   load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
i=0
while [ "$i" -lt "$rounds" ]; do
  for layout in $layouts; do
    echo "$layout $("$bench" read "$data/scope-$layout-${rows}x4.csv")" | tee -a "$log"
  done
  for peer in pandas numpy; do
    echo "$peer $("$python" "$peers" "$peer" "$data/scope-rigol-${rows}x4.csv" 2 4)" | tee -a "$log"
  done
  i=$((i + 1))
done
echo "   load average after: $(cut -d' ' -f1-3 /proc/loadavg)"

. "$root/bench/medians.sh"

echo "== medians (wall s, cpu s, MB/s, million points a second, peak MB)"
for name in $layouts pandas numpy; do
  printf '%-14s wall=%-7s cpu=%-7s MB/s=%-6s Mpoints/s=%-6s peak_MB=%s\n' "$name" \
    "$(median $name seconds)" "$(median $name cpu)" "$(median $name MB/s)" \
    "$(median $name Mpoints/s)" "$(median $name peak_MB)"
done
echo "== time for the same points, the \"Record Length\" reader's (or the peer's) over the dialect's"
ratio() {
  awk -v a="$(median "$1" seconds)" -v b="$(median "$2" seconds)" \
    -v ca="$(median "$1" cpu)" -v cb="$(median "$2" cpu)" -v label="$3" \
    'BEGIN {if (a == 0 || b == 0) {printf "%-44s n/a\n", label} else
            printf "%-44s %5.2fx wall  %5.2fx cpu\n", label, a / b, ca / cb}'
}
for layout in rigol keysight siglent; do
  ratio record-length "$layout" "\"Record Length\" reader / $layout"
done
ratio pandas rigol "pandas.read_csv / rigol"
ratio numpy rigol "numpy.loadtxt / rigol"
echo "== machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
