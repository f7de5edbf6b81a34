#!/bin/sh
# Runs the end-to-end test of setup and removal: the real haulix.exe in a fresh Wine prefix
# of its own under the build folder (removal deletes the program's settings and closes its
# windows, so it shares a prefix with nothing), on a private Xvfb display. Each test suite
# gets a prefix made afresh; screenshots are converted to PNG in BUILD_DIR/setup-e2e-shots.
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

# Each suite starts as a new user would: a prefix made afresh, nothing set by hand but
# the display driver's window management.
fresh_prefix() {
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w 2>/dev/null || true
  setsid wineserver -p >/dev/null 2>&1 </dev/null &
  wine cmd /c exit >/dev/null 2>&1 || true
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
}

tests="$build/haulix_setup_e2e_tests.exe"
rm -rf "$build/setup-e2e-shots"
mkdir -p "$build/setup-e2e-shots"
fresh_prefix
suites=$(wine "$tests" --gtest_list_tests 2>/dev/null | tr -d '\r' | awk '/^[^ ]/ { print $1 "*" }')
status=0
first=1
for suite in $suites; do
  [ $first -eq 1 ] || fresh_prefix
  first=0
  HAULIX_EXE="$build/haulix.exe" wine "$tests" --gtest_filter="$suite" || status=$?
  for shot in "$WINEPREFIX"/drive_c/haulix-e2e/shots/*.bmp; do
    [ -f "$shot" ] || continue
    convert "$shot" "$build/setup-e2e-shots/$(basename "$shot" .bmp).png" 2>/dev/null || true
  done
done
[ -n "$suites" ] || status=1
exit $status
