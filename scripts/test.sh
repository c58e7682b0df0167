#!/usr/bin/env bash
# From a fresh clone: installs what is missing, builds everything and runs every test.
#   TARVIK_BUILD_DIR   build folder (default: build)
#   TARVIK_CMAKE_ARGS  extra configure arguments (for example -DTARVIK_GUI=OFF)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${TARVIK_BUILD_DIR:-build}
scripts/install-packages.sh
# shellcheck disable=SC2086
cmake -S . -B "$build" -G Ninja ${TARVIK_CMAKE_ARGS:-}
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
