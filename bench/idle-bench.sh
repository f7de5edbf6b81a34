#!/bin/sh
# Times the Download Window's start with its rows in haulix.db, its idle pass, a full paint
# and 10,000 pasted addresses, with 10,000 and with 100,000 rows, under Wine on a private
# display. Usage: bench/idle-bench.sh [WINDOWS_BUILD_DIR]  (default build/windows)
set -e
build=$(cd "${1:-build/windows}" && pwd)
here=$(cd "$(dirname "$0")/.." && pwd)
cmake --build "$build" --target haulix_idle_bench >/dev/null
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
n=170
while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill $xvfb_pid 2>/dev/null || true' EXIT INT TERM
export DISPLAY=":$n"
i=0
while [ ! -e "/tmp/.X11-unix/X$n" ] && [ $i -lt 50 ]; do sleep 0.1; i=$((i + 1)); done
status=0
for rows in 10000 100000; do
  echo "== $rows rows"
  "$here/scripts/wine-run.sh" "$WINEPREFIX" "$build/haulix_idle_bench.exe" $rows || status=$?
done
exit $status
