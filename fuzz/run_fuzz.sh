#!/bin/sh
# Builds the reader fuzz targets with clang and runs each for a bounded time from a seed
# corpus: the examples/ files (cut to their first 4 KB) and the small seeds in fuzz/corpus/.
#
#   fuzz/run_fuzz.sh [SECONDS_PER_TARGET] [BUILD_DIR]
#
# Exits non-zero when a target fails to build or a fuzzer finds a fault (its reproducer is
# left in the work folder printed at the end).
set -eu
seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${2:-$root/build-fuzz}
work=${FUZZ_WORK_DIR:-${TMPDIR:-/tmp}/tarvik-fuzz}

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

status=0
for target in fuzz_plain_graph fuzz_osc_csv fuzz_plain_csv fuzz_generated; do
  echo "== $target: $seconds s"
  if ! (cd "$work" && "$build/$target" "$work/$target" -max_total_time="$seconds" \
      -max_len=8192 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      >"$work/$target.log" 2>&1); then
    echo "$target FAILED; see $work/$target.log and the crash-* file in $work"
    status=1
  fi
  grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "$work/$target.log" || true
done
exit $status
