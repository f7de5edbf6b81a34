#!/bin/sh
# Runs the end-to-end tests: the real haulix.exe in a fresh Wine prefix of its own under the
# build folder, on a private Xvfb display, driven by haulix_e2e_tests.exe. The screenshots it
# takes are converted to PNG in BUILD_DIR/e2e-shots.
# Usage: e2e-tests.sh BUILD_DIR
set -e
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
export WINEPREFIX="$build/e2e-prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

xvfb_pid=""
cleanup() {
  wineserver -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT INT TERM

# A display of its own, so that no other test's window stands in the pictures.
n=150
while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=":$n"
i=0
while [ ! -e "/tmp/.X11-unix/X$n" ] && [ $i -lt 50 ]; do sleep 0.1; i=$((i + 1)); done

rm -rf "$WINEPREFIX" "$build/e2e-shots"
wineboot -i >/dev/null 2>&1 || true
wineserver -w 2>/dev/null || true
setsid wineserver -p >/dev/null 2>&1 </dev/null &
wine cmd /c exit >/dev/null 2>&1 || true
# No window manager: unmanaged windows hide at once instead of waiting for one.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true

status=0
HAULIX_EXE="$build/haulix.exe" wine "$build/haulix_e2e_tests.exe" || status=$?

mkdir -p "$build/e2e-shots"
for shot in "$WINEPREFIX"/drive_c/haulix-e2e/shots/*.bmp; do
  [ -f "$shot" ] || continue
  convert "$shot" "$build/e2e-shots/$(basename "$shot" .bmp).png" 2>/dev/null || true
done
exit $status
