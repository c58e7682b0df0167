#!/usr/bin/env bash
# From a fresh clone: installs what is missing, builds everything and runs every test.
#   TARVIK_BUILD_DIR   build folder (default: build)
#   TARVIK_CMAKE_ARGS  extra configure arguments (for example -DTARVIK_GUI=OFF)
#   arguments          passed on to ctest (for example -E NAME_PATTERN)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${TARVIK_BUILD_DIR:-build}
scripts/install-packages.sh
# The window-free tests compile a dozen files to a unit; should two files' local helpers
# clash in a unit, the tests are built file by file rather than not at all (and the next
# run tries the units again).
# shellcheck disable=SC2086
cmake -S . -B "$build" -G Ninja -DTARVIK_UNITY_TESTS=ON ${TARVIK_CMAKE_ARGS:-}
if ! cmake --build "$build" -j"$(nproc)"; then
  echo "unity build of the tests failed; building them file by file" >&2
  cmake -S . -B "$build" -DTARVIK_UNITY_TESTS=OFF
  cmake --build "$build" -j"$(nproc)"
fi
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" "$@"
