#!/bin/sh
# Reader and writer benchmark: generates a 5,000,000-record 4-channel oscilloscope CSV and
# writes a 10,000,000-line plain graph file (timing our writer), then reads both with our
# readers and the CSV with pandas.read_csv and numpy.loadtxt, each in a fresh process so
# that every peak memory figure belongs to one reader, and prints the ratios.
#
#   bench/run_readers_bench.sh [DATA_DIR] [BUILD_DIR]
#   RECORDS=... LINES=... REPEAT=... PYTHON=... override the sizes, the number of timed runs
#   per reader (the best is kept) and the Python with pandas and numpy.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
data=${1:-${TMPDIR:-/tmp}/tarvik-bench}
build=${2:-$root/build-bench}
records=${RECORDS:-5000000}
lines=${LINES:-10000000}
repeat=${REPEAT:-2}
python=${PYTHON:-/usr/bin/python3}

cmake -S "$root" -B "$build" -G Ninja -DTARVIK_GUI=OFF -DTARVIK_TESTS=OFF -DTARVIK_BENCH=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C "$build" ReadersBench
bench="$build/ReadersBench"

mkdir -p "$data"
csv="$data/scope-${records}x4.csv"
grf="$data/plain-${lines}.grf"
[ -s "$csv" ] || "$bench" generate-osc "$csv" "$records" 4
"$bench" write-plain "$grf" "$lines"
cat "$csv" "$grf" >/dev/null  # every reader starts from the page cache

# best RUNS COMMAND...: runs COMMAND RUNS times, prints each line, keeps the fastest
best() {
  runs=$1
  shift
  out=""
  i=0
  while [ "$i" -lt "$runs" ]; do
    line=$("$@")
    echo "$line" >&2
    out="$out$line
"
    i=$((i + 1))
  done
  printf '%s' "$out" | awk '{for (i = 1; i <= NF; i++) if ($i ~ /^MB\/s=/) {
    v = substr($i, 6) + 0; if (v > b) {b = v; l = $0}}} END {print l}'
}

echo "== runs (MB/s from the file size; peak_MB is the process's peak resident memory)" >&2
osc=$(best "$repeat" "$bench" read "$csv")
plain=$(best "$repeat" "$bench" read "$grf")
pandas=$(best "$repeat" "$python" "$root/bench/readers_peers.py" pandas "$csv" 4)
usecols=$(best "$repeat" "$python" "$root/bench/readers_peers.py" pandas-usecols "$csv" 4)
numpy=$(best 1 "$python" "$root/bench/readers_peers.py" numpy "$csv" 4)

rate() { echo "$1" | sed -n 's/.*MB\/s=\([0-9.]*\).*/\1/p'; }
echo "== best of each"
printf '%s\n' "$osc" "$plain" "$pandas" "$usecols" "$numpy"
echo "== ratios (our oscilloscope CSV reader's MB/s over the peer's)"
for peer in pandas usecols numpy; do
  eval "line=\$$peer"
  awk -v ours="$(rate "$osc")" -v theirs="$(rate "$line")" -v name="$peer" \
    'BEGIN {printf "%-8s %.1fx\n", name, ours / theirs}'
done
echo "== machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
