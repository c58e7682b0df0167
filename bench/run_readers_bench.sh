#!/bin/sh
# Reader and writer benchmark: generates a 5,000,000-record 4-channel oscilloscope CSV and
# writes a 10,000,000-line plain graph file (timing our writer), then reads them in rounds,
# ours and the peers alternately (our CSV reader, pandas.read_csv with usecols, numpy.loadtxt
# of the CSV, our plain graph reader, numpy.loadtxt of the plain file), each in a fresh
# process so that every peak memory figure belongs to one reader. The median of the rounds
# is kept for each reader (wall and CPU seconds), and the ratios are printed with the load.
#
#   bench/run_readers_bench.sh [DATA_DIR] [BUILD_DIR]
#   RECORDS=... LINES=... ROUNDS=... PYTHON=... override the sizes, the number of rounds
#   and the Python with pandas and numpy. FULL_PANDAS=1 adds pandas.read_csv of every column.
#   LOADED=1 keeps one core busy with a second process for the whole run (the "loaded"
#   condition; bench/load_one_core.sh); the goals checked at the end are the condition's.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
data=${1:-${TMPDIR:-/tmp}/tarvik-bench}
build=${2:-$root/build-bench}
records=${RECORDS:-5000000}
lines=${LINES:-10000000}
rounds=${ROUNDS:-3}
python=${PYTHON:-/usr/bin/python3}

cmake -S "$root" -B "$build" -G Ninja -DTARVIK_GUI=OFF -DTARVIK_TESTS=OFF -DTARVIK_BENCH=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C "$build" ReadersBench
bench="$build/ReadersBench"
peers="$root/bench/readers_peers.py"

mkdir -p "$data"
csv="$data/scope-${records}x4.csv"
grf="$data/plain-${lines}.grf"
[ -s "$csv" ] || "$bench" generate-osc "$csv" "$records" 4
"$bench" write-plain "$grf" "$lines"
cat "$csv" "$grf" >/dev/null  # every reader starts from the page cache

log=$(mktemp)
. "$root/bench/load_mode.sh"
trap 'stop_load; rm -f "$log"' EXIT
echo "== condition: $condition"
echo "== runs, alternating (seconds: wall; cpu: user + system; peak_MB: peak resident memory)"
echo "   load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
i=0
while [ "$i" -lt "$rounds" ]; do
  for name in osc usecols numpy plain numpy-plain; do
    case $name in
      osc) line=$("$bench" read "$csv") ;;
      usecols) line=$("$python" "$peers" pandas-usecols "$csv" 4) ;;
      numpy) line=$("$python" "$peers" numpy "$csv" 4) ;;
      plain) line=$("$bench" read "$grf") ;;
      numpy-plain) line=$("$python" "$peers" numpy-plain "$grf") ;;
    esac
    echo "$name $line" | tee -a "$log"
  done
  if [ "${FULL_PANDAS:-0}" = 1 ]; then
    echo "pandas $("$python" "$peers" pandas "$csv" 4)" | tee -a "$log"
  fi
  i=$((i + 1))
done
echo "   load average after: $(cut -d' ' -f1-3 /proc/loadavg)"

. "$root/bench/medians.sh"

echo "== medians (wall s, cpu s, peak MB, page faults of the read)"
for name in osc usecols numpy plain numpy-plain; do
  printf '%-12s wall=%-7s cpu=%-7s peak_MB=%-7s faults=%s\n' "$name" "$(median $name seconds)" \
    "$(median $name cpu)" "$(median $name peak_MB)" "$(median $name faults)"
done
echo "== ratios, peer's wall time over ours (and CPU time over ours)"
ratio() {
  awk -v a="$(median "$2" seconds)" -v b="$(median "$1" seconds)" \
    -v ca="$(median "$2" cpu)" -v cb="$(median "$1" cpu)" -v label="$3" \
    'BEGIN {printf "%-44s %5.1fx wall  %5.1fx cpu\n", label, a / b, ca / cb}'
}
ratio osc usecols "oscilloscope CSV vs pandas.read_csv(usecols)"
ratio osc numpy "oscilloscope CSV vs numpy.loadtxt"
ratio plain numpy-plain "plain graph file vs numpy.loadtxt"
echo "== goals ($condition): CSV >= $([ "$condition" = loaded ] && echo 10 || echo 12)x pandas(usecols), plain file >= $([ "$condition" = loaded ] && echo 5 || echo 8)x numpy.loadtxt (wall)"
goal() {  # goal OURS PEER AT_LEAST LABEL
  awk -v a="$(median "$2" seconds)" -v b="$(median "$1" seconds)" -v at="$3" -v label="$4" \
    'BEGIN {r = a / b; printf "%-44s %5.1fx  goal %sx: %s\n", label, r, at, (r >= at ? "met" : "NOT met")}'
}
if [ "$condition" = loaded ]; then
  goal osc usecols 10 "oscilloscope CSV vs pandas.read_csv(usecols)"
  goal plain numpy-plain 5 "plain graph file vs numpy.loadtxt"
else
  goal osc usecols 12 "oscilloscope CSV vs pandas.read_csv(usecols)"
  goal plain numpy-plain 8 "plain graph file vs numpy.loadtxt"
fi
echo "== peak memory over the points' 16 bytes each"
grep -E '^(osc|plain) ' "$log" | awk '{for (i = 1; i <= NF; i++) if ($i ~ /^peak\/graph=/) print $1, $i}' | sort -u
echo "== machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
