# Sourced by the run_*_bench.sh scripts: with LOADED=1 a second process keeps one core busy
# for the whole run (bench/load_one_core.sh, stopped when the script ends), so the figures
# are the "loaded" ones; otherwise nothing is started ("idle", whatever else runs).
# Sets `condition` to "loaded" or "idle" for the scripts' reports.
condition=idle
load_pid=
if [ "${LOADED:-0}" = 1 ]; then
  condition=loaded
  "${root:-$here/..}/bench/load_one_core.sh" "${LOAD_SECONDS:-3600}" &
  load_pid=$!
  sleep 1  # let the load reach its core before the first run
fi
stop_load() {
  if [ -n "$load_pid" ]; then
    kill "$load_pid" 2>/dev/null || true
    wait "$load_pid" 2>/dev/null || true
    load_pid=
  fi
}
