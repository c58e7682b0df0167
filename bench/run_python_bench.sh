#!/bin/sh
# The Python module's benchmark (bench/python_bench.py): the 5,000,000-record 4-channel
# oscilloscope CSV opened by tarvik-batch, by doc.open and by pandas.read_csv(usecols=...),
# doc.add of 10,000,000 points (float64 and float32) against numpy's copy and conversion,
# and doc.graphs[0].y on a 10,000,000-point graph, alternately in rounds, with the load.
#
#   bench/run_python_bench.sh [DATA_DIR] [BUILD_DIR]
#   ROUNDS=... PYTHON=... override the number of rounds and the Python (with numpy, pandas).
#   ADD_CALLS=... sets the doc.add runs per round (5); ADD_ONLY=1 measures only doc.add
#   against numpy's copy and conversion (no CSV, no tarvik-batch). LOADED=1 keeps one core
#   busy with a second process for the whole run (bench/load_one_core.sh).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
data=${1:-${TMPDIR:-/tmp}/tarvik-bench}
build=${2:-$root/build-bench}
rounds=${ROUNDS:-3}
python=${PYTHON:-/usr/bin/python3}

cmake -S "$root" -B "$build" -G Ninja -DTARVIK_GUI=OFF -DTARVIK_TESTS=OFF -DTARVIK_BENCH=ON \
  -DTARVIK_PYTHON=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
if [ "${ADD_ONLY:-0}" = 1 ]; then
  ninja -C "$build" tarvik_python
  set -- --add-only
else
  ninja -C "$build" ReadersBench tarvik-batch tarvik_python
  mkdir -p "$data"
  csv="$data/scope-5000000x4.csv"
  [ -s "$csv" ] || "$build/ReadersBench" generate-osc "$csv" 5000000 4
  set -- "$csv" "$build/tarvik-batch"
fi
. "$root/bench/load_mode.sh"
trap stop_load EXIT
echo "== condition: $condition"
PYTHONPATH="$build" "$python" "$root/bench/python_bench.py" "$@" "$rounds"
