#!/bin/sh
# The headline job as whole processes: open the 5,000,000-record 4-channel oscilloscope CSV
# (520 MB), a 1000-frequency DFT spectrum of CH1 (M = 9,999,999 samples), RC
# differentiation of CH1 (τ = 10 ns), the derivative of CH2, save the spectrum and the
# 5M-point RC graph — one `tarvik-batch -e` run against the same job in numpy, pandas and
# scipy (bench/headline_peers.py), alternately, ROUNDS rounds. Each run is timed from
# outside (/usr/bin/time: wall, user + system CPU, peak memory) with the load average
# before it; the saved files are removed between runs, so no run pays for deleting the
# previous one's. Prints the medians, the ratios peer ÷ ours (wall and CPU), whether the
# goal (≥ 10× wall) is met, and how far the peer's saved numbers lie from ours.
#
#   bench/run_headline_bench.sh [DATA_DIR] [BUILD_DIR]   (BUILD_DIR holds tarvik-batch;
#                                                         default build/, RelWithDebInfo)
#   ROUNDS=...  the rounds (3)          PYTHON=...  the Python with numpy, pandas and scipy
#   LOADED=1    one core kept busy by a second process for the whole run (bench/load_mode.sh)
#   PHASES=1    also times our job's growing prefixes once per round (open; + spectrum;
#               + RC; + derivative; + saves), to show where the time goes
#   SPECTRUM=direct  the peer sums the spectrum as matrix products instead of scipy's czt
#   CHECK=0     skips the comparison of the saved files at the end
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
data=${1:-${TMPDIR:-/tmp}/tarvik-bench}
build=${2:-$root/build}
rounds=${ROUNDS:-3}
python=${PYTHON:-/usr/bin/python3}
batch="$build/tarvik-batch"
peers="$root/bench/headline_peers.py"
if [ ! -x "$batch" ]; then
  echo "no $batch: configure $build and build tarvik-batch (and ReadersBench for the data)" >&2
  exit 2
fi

mkdir -p "$data"
csv="$data/scope-5000000x4.csv"
if [ ! -s "$csv" ]; then
  [ -x "$build/ReadersBench" ] || { echo "no $csv and no $build/ReadersBench to make it" >&2; exit 2; }
  "$build/ReadersBench" generate-osc "$csv" 5000000 4
fi
cat "$csv" >/dev/null  # both jobs start from the page cache

out=$(mktemp -d "$data/headline.XXXXXX")
log="$out/log"
. "$root/bench/load_mode.sh"
trap 'stop_load; rm -rf "$out"' EXIT

# The job's commands, the prefixes ending after each phase.
open="open \"$csv\""
spectrum="spectrum graphs=1 kind=dft fmin=0 fmax=5e9 df=5e6 time=ns freq=Hz"
rc="rc-tau value=10; rc-diff graphs=1"
der="derivative graphs=2"
saves="save graph=5 file=\"$out/ours-spectrum.grf\"; save graph=1 file=\"$out/ours-rc.grf\""
whole="$open; $spectrum; $rc; $der; $saves"

# timed NAME COMMAND...: one whole process, its line appended to the log. The files a job
# saves are removed before it runs (outside its time); the prefixes save nothing.
timed() {
  name=$1
  shift
  load=$(cut -d' ' -f1 /proc/loadavg)
  case $name in
    tarvik) rm -f "$out"/ours-*.grf ;;
    peer) rm -f "$out"/peer-*.grf ;;
  esac
  /usr/bin/time -f "seconds=%e user=%U sys=%S peak_KB=%M" -o "$out/time" "$@" >/dev/null
  awk -v name="$name" -v load="$load" '{
      for (i = 1; i <= NF; i++) { split($i, kv, "="); v[kv[1]] = kv[2] }
      printf "%-10s seconds=%-6s cpu=%-6.2f peak_MB=%-6.0f load=%s\n", name, v["seconds"],
        v["user"] + v["sys"], v["peak_KB"] / 1024 * 1.048576, load
    }' "$out/time" | tee -a "$log"
}

echo "== condition: $condition; $(nproc) cores; $(uptime)"
echo "== runs, alternating (seconds: wall; cpu: user + system; load: 1-minute average before)"
i=0
while [ "$i" -lt "$rounds" ]; do
  timed tarvik "$batch" --decimal-separator=. -e "$whole"
  timed peer "$python" "$peers" job "$csv" "$out/peer-spectrum.grf" "$out/peer-rc.grf" \
    "${SPECTRUM:-czt}"
  if [ "${PHASES:-0}" = 1 ]; then
    timed p-start "$batch" -e "list"
    timed p-open "$batch" -e "$open"
    timed p+spectrum "$batch" -e "$open; $spectrum"
    timed p+rc "$batch" -e "$open; $spectrum; $rc"
    timed p+deriv "$batch" -e "$open; $spectrum; $rc; $der"
  fi
  i=$((i + 1))
done

. "$root/bench/medians.sh"

echo "== medians of $rounds rounds (wall s, cpu s, peak MB)"
names="tarvik peer"
[ "${PHASES:-0}" = 1 ] && names="$names p-start p-open p+spectrum p+rc p+deriv"
for name in $names; do
  printf '%-10s wall=%-7s cpu=%-7s peak_MB=%s\n' "$name" "$(median "$name" seconds)" \
    "$(median "$name" cpu)" "$(median "$name" peak_MB)"
done
if [ "${PHASES:-0}" = 1 ]; then
  echo "== our CPU by phase (differences of the prefixes' medians, s)"
  awk -v s="$(median p-start cpu)" -v o="$(median p-open cpu)" -v f="$(median p+spectrum cpu)" \
    -v r="$(median p+rc cpu)" -v d="$(median p+deriv cpu)" -v w="$(median tarvik cpu)" \
    'BEGIN {printf "start+exit %.2f  open %.2f  spectrum %.2f  RC %.2f  derivative %.2f  saves %.2f\n",
      s, o - s, f - o, r - f, d - r, w - d}'
fi
awk -v pw="$(median peer seconds)" -v ow="$(median tarvik seconds)" \
  -v pc="$(median peer cpu)" -v oc="$(median tarvik cpu)" -v cond="$condition" 'BEGIN {
    printf "== ratio peer / ours: %.1fx wall, %.1fx cpu\n", pw / ow, pc / oc
    printf "== goal (%s): >= 10x wall: %s\n", cond, (pw / ow >= 10 ? "met" : "NOT met")
  }'
echo "== end: $(uptime)"
stop_load
if [ "${CHECK:-1}" = 1 ]; then
  # The files of the last round's two jobs.
  "$python" "$peers" check "$out/ours-spectrum.grf" "$out/ours-rc.grf" \
    "$out/peer-spectrum.grf" "$out/peer-rc.grf"
fi
