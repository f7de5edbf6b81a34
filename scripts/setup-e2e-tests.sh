#!/bin/sh
# Runs the end-to-end test of setup and removal: the real haulix.exe in a fresh Wine prefix
# of its own under the build folder (removal deletes the program's settings and closes its
# windows, so it shares a prefix with nothing), on a private Xvfb display.
# Usage: setup-e2e-tests.sh BUILD_DIR
set -e
build=$(cd "$1" && pwd)
export WINEPREFIX="$build/setup-e2e-prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

xvfb_pid=""
cleanup() {
  wineserver -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT INT TERM

n=170
while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=":$n"
i=0
while [ ! -e "/tmp/.X11-unix/X$n" ] && [ $i -lt 50 ]; do sleep 0.1; i=$((i + 1)); done

rm -rf "$WINEPREFIX"
wineboot -i >/dev/null 2>&1 || true
wineserver -w 2>/dev/null || true
setsid wineserver -p >/dev/null 2>&1 </dev/null &
wine cmd /c exit >/dev/null 2>&1 || true
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true

HAULIX_EXE="$build/haulix.exe" wine "$build/haulix_setup_e2e_tests.exe"
