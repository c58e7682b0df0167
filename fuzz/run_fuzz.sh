#!/bin/sh
# Builds the fuzz targets with clang and runs each for a bounded time from a seed corpus
# and its dictionary (fuzz/dict/): the readers from the examples/ files (cut to their first
# 4 KB) and the small seeds in fuzz/corpus/, the batch targets from the example scripts.
#
#   fuzz/run_fuzz.sh [SECONDS_PER_TARGET] [BUILD_DIR]
#
# FUZZ_JOBS targets run at once (default: the number of processors). Exits non-zero when a
# target fails to build or a fuzzer finds a fault (its reproducer is left in the work folder
# printed at the end).
set -eu
seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${2:-$root/build-fuzz}
work=${FUZZ_WORK_DIR:-${TMPDIR:-/tmp}/tarvik-fuzz}
jobs=${FUZZ_JOBS:-$(nproc)}

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DTARVIK_GUI=OFF -DTARVIK_TESTS=OFF \
  -DTARVIK_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C "$build" fuzz_targets

seed() {  # seed TARGET FILE...: copies the start of each file into the target's corpus
  target=$1
  shift
  mkdir -p "$work/$target"
  for file in "$@"; do
    if [ -f "$file" ]; then
      head -c 4096 "$file" >"$work/$target/seed-$(basename "$file")"
    fi
  done
}

rm -rf "$work"
mkdir -p "$work"
seed fuzz_plain_graph "$root"/examples/*.grf "$root"/fuzz/corpus/plain_graph/*
seed fuzz_osc_csv "$root"/examples/*scope*.csv "$root"/fuzz/corpus/osc_csv/*
seed fuzz_plain_csv "$root"/examples/*two_column*.csv "$root"/fuzz/corpus/plain_csv/*
seed fuzz_generated "$root"/fuzz/corpus/generated/*
seed fuzz_scope_csv "$root"/fuzz/corpus/scope_csv/*
seed fuzz_batch_parser "$root"/examples/*.tvb "$root"/fuzz/corpus/batch/*
seed fuzz_batch_script "$root"/fuzz/corpus/batch/*
# The scope readers: small whole records cut from the sample files (their headers count the
# samples, so a record cut at 4 KB is only a damaged one).
seed fuzz_rigol_wfm "$root"/fuzz/corpus/rigol_wfm/*
seed fuzz_agilent_bin "$root"/fuzz/corpus/agilent_bin/*
seed fuzz_siglent_bin "$root"/fuzz/corpus/siglent_bin/*
# Session files are seeded whole (fuzz/make_session_seeds.py wrote them): cut short, an HDF5
# file is only a damaged one.
mkdir -p "$work/fuzz_session"
cp "$root"/fuzz/corpus/session/*.h5 "$work/fuzz_session/"
# Binary scope records are seeded whole from fuzz/corpus (each under 8 KB, cut down from the
# sample files so that every block is complete), plus the starts of the samples when they
# are there (../shared, not in CI).
samples="$root/../shared/scope-samples/files"
for target in lecroy_trc tek_isf tek_wfm rs_bin; do
  mkdir -p "$work/fuzz_$target"
  cp "$root"/fuzz/corpus/$target/* "$work/fuzz_$target/"
done
seed fuzz_lecroy_trc "$samples"/lecroy_*
seed fuzz_tek_isf "$samples"/tek_*.ISF "$samples"/tek_*.isf
seed fuzz_tek_wfm "$samples"/tek_*.wfm

# The dictionary of each target: the number tokens for every reader, plus its own.
dictionary() {
  case $1 in
    fuzz_batch_*) cat "$root/fuzz/dict/batch.dict" "$root/fuzz/dict/numbers.dict" ;;
    fuzz_session) cat "$root/fuzz/dict/session.dict" ;;
    *) cat "$root/fuzz/dict/numbers.dict" "$root/fuzz/dict/${1#fuzz_}.dict" ;;
  esac >"$work/$1.dict"
}

run_one() {  # run_one TARGET: prints one summary line, returns non-zero on a finding
  target=$1
  dictionary "$target"
  max_len=8192
  if [ "$target" = fuzz_session ]; then
    max_len=32768
  fi
  if (cd "$work" && "$build/$target" "$work/$target" -dict="$work/$target.dict" \
      -max_total_time="$seconds" -max_len="$max_len" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$work/$target-" >"$work/$target.log" 2>&1); then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$target.log")
    rss=$(sed -n 's/^stat::peak_rss_mb: *//p' "$work/$target.log")
    echo "$target: ok, $runs runs, peak $rss MB"
  else
    echo "$target FAILED; see $work/$target.log and the $target-* files in $work"
    return 1
  fi
}

targets="fuzz_plain_graph fuzz_osc_csv fuzz_plain_csv fuzz_generated fuzz_batch_parser
fuzz_batch_script fuzz_session fuzz_scope_csv
fuzz_rigol_wfm fuzz_agilent_bin fuzz_siglent_bin
fuzz_lecroy_trc fuzz_tek_isf fuzz_tek_wfm fuzz_rs_bin"
echo "fuzzing $seconds s per target, $jobs at a time"
# The targets are dealt round-robin into $jobs groups; each group runs in the background,
# one target after another.
pids=""
group=0
while [ "$group" -lt "$jobs" ]; do
  mine=$(printf '%s\n' $targets | awk -v g="$group" -v n="$jobs" '(NR - 1) % n == g')
  if [ -n "$mine" ]; then
    (
      failed=0
      for target in $mine; do
        run_one "$target" || failed=1
      done
      exit $failed
    ) &
    pids="$pids $!"
  fi
  group=$((group + 1))
done
status=0
for pid in $pids; do
  wait "$pid" || status=1
done
exit $status
