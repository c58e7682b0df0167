#!/bin/sh
# Keeps one core busy for SECONDS (default 600) and then stops by itself, as a second
# program on a user's machine would: the benchmarks' "loaded" condition.
#
#   bench/load_one_core.sh [SECONDS]          in the foreground
#   bench/load_one_core.sh 300 & ...; kill $!  around a run
# The benchmark scripts start it themselves when LOADED=1 is set (and stop it at their end).
set -eu
seconds=${1:-600}
case $seconds in
  '' | *[!0-9]*) echo "usage: $0 [SECONDS]" >&2; exit 2 ;;
esac
# One shell spinning on a builtin is one busy core; timeout ends it even if the caller dies.
exec timeout "$seconds" sh -c 'while :; do :; done'
