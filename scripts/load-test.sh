#!/bin/sh
# The Windows suite on a busy machine: starts BUSY processes that each keep a core busy
# (`yes > /dev/null`), runs the whole Windows suite RUNS times in a row beside them, stops
# them by their process ids, and prints how many test attempts failed, first attempts (the
# ones windows-tests.sh runs again) included. Not part of `make test`: it takes as long as
# RUNS whole suites on a loaded machine.
# Usage: load-test.sh BUILD_DIR [RUNS] [BUSY] [CTEST OPTIONS...]
#   (defaults: 3 runs, 3 busy processes, the whole suite; e.g. -R 'PasswordsPage|Site' for part)
# Exits 0 only when no attempt failed in any run. The logs stay in BUILD_DIR/load-test/.
set -u
build=$(cd "$1" && pwd)
runs=${2:-3}
busy=${3:-3}
[ $# -ge 3 ] && shift 3 || shift $#
here=$(cd "$(dirname "$0")" && pwd)
logs="$build/load-test"
mkdir -p "$logs"

pids=""
stop_busy() {
  for pid in $pids; do kill "$pid" 2>/dev/null || true; done
  for pid in $pids; do wait "$pid" 2>/dev/null || true; done
  pids=""
}
trap stop_busy EXIT
trap 'stop_busy; exit 130' INT TERM

i=0
while [ "$i" -lt "$busy" ]; do
  yes >/dev/null &
  pids="$pids $!"
  i=$((i + 1))
done
echo "busy processes:$pids"

total=0
run=1
while [ "$run" -le "$runs" ]; do
  log="$logs/run-$run.log"
  started=$(date +%s)
  "$here/windows-tests.sh" "$build" -j2 "$@" >"$log" 2>&1
  status=$?
  took=$(($(date +%s) - started))
  # Every attempt that did not pass: ctest marks it ***Failed, ***Timeout or ***Exception.
  failed=$(grep -c '\*\*\*\(Failed\|Timeout\|Exception\)' "$log")
  total=$((total + failed))
  echo "run $run: exit $status, $failed failed attempts, ${took} s ($log)"
  grep '\*\*\*\(Failed\|Timeout\|Exception\)' "$log" | sed 's/^/    /'
  run=$((run + 1))
done

stop_busy
echo "failed attempts in $runs runs with $busy busy processes: $total"
[ "$total" -eq 0 ]
