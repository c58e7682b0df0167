#!/bin/sh
# Deep-record opening benchmark: writes a 100,000,000-sample 16-bit Tektronix .isf (200 MB)
# and opens it in rounds, alternately with the batch runner ("open", the whole process) and
# with the numpy peer (numpy.fromfile and the same scaling to doubles), each run measured
# from outside as a whole process: wall and CPU seconds and peak resident memory. The
# medians are printed with the ratios and the peak memory over the record's doubles (X and Y,
# 16 bytes a sample).
#
#   bench/run_scope_open_bench.sh [DATA_DIR] [BUILD_DIR]
#   SAMPLES=... ROUNDS=... PYTHON=... override the record length, the rounds (default 2;
#   each run holds 1.6 GB) and the Python with numpy.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
data=${1:-${TMPDIR:-/tmp}/tarvik-bench}
build=${2:-$root/build-bench}
samples=${SAMPLES:-100000000}
rounds=${ROUNDS:-2}
python=${PYTHON:-/usr/bin/python3}

cmake -S "$root" -B "$build" -G Ninja -DTARVIK_GUI=OFF -DTARVIK_TESTS=OFF -DTARVIK_BENCH=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C "$build" ScopeOpenBench tarvik-batch
bench="$build/ScopeOpenBench"
batch="$build/tarvik-batch"
peer="$root/bench/scope_open_peers.py"

mkdir -p "$data"
isf="$data/deep-${samples}.isf"
[ -s "$isf" ] || "$bench" write-isf "$isf" "$samples"
cat "$isf" >/dev/null  # both readers start from the page cache

log=$(mktemp)
trap 'rm -f "$log"' EXIT
echo "== runs, alternating (seconds: wall; cpu: user + system; peak_MB: peak resident memory)"
echo "   load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
i=0
while [ "$i" -lt "$rounds" ]; do
  echo "tarvik $("$bench" run "$batch" --decimal-separator=. -e "open \"$isf\"" | tail -1)" | tee -a "$log"
  echo "numpy $("$bench" run "$python" "$peer" numpy "$isf" | tail -1)" | tee -a "$log"
  i=$((i + 1))
done
echo "   load average after: $(cut -d' ' -f1-3 /proc/loadavg)"

. "$root/bench/medians.sh"

doubles=$(awk -v n="$samples" 'BEGIN {printf "%.1f", n * 16 / 1e6}')
echo "== medians (wall s, cpu s, peak MB; the record's doubles: $doubles MB)"
for name in tarvik numpy; do
  printf '%-8s wall=%-7s cpu=%-7s peak_MB=%-8s peak/doubles=%s\n' "$name" "$(median $name seconds)" \
    "$(median $name cpu)" "$(median $name peak_MB)" \
    "$(awk -v p="$(median $name peak_MB)" -v d="$doubles" 'BEGIN {printf "%.2f", p / d}')"
done
awk -v a="$(median numpy seconds)" -v b="$(median tarvik seconds)" \
  -v ma="$(median numpy peak_MB)" -v mb="$(median tarvik peak_MB)" \
  'BEGIN {printf "== numpy wall over ours: %.2fx; our peak memory over numpy'"'"'s: %.2fx\n", a / b, mb / ma}'
echo "== machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
