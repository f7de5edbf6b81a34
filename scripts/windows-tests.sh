#!/bin/sh
# Runs the Windows tests under Wine: one Wine prefix private to the build folder, one
# persistent wineserver for the whole run (each test would otherwise wait for its own server
# to linger and exit), and a virtual display for the tests that make windows.
# Usage: windows-tests.sh BUILD_DIR [ctest options...]
set -e
build=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
export WINEPREFIX="$(cd "$build" && pwd)/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

xvfb_pid=""
cleanup() {
  wineserver -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT INT TERM

if [ -z "${HAULIX_KEEP_DISPLAY:-}" ]; then
  # A display of our own: pick a free number.
  n=90
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$n"
  i=0
  while [ ! -e "/tmp/.X11-unix/X$n" ] && [ $i -lt 50 ]; do sleep 0.1; i=$((i + 1)); done
fi

# Make the prefix once (wine-run.sh does the same, under a lock, for a bare ctest). Only now
# that the display is there: the desktop process that this first start leaves behind would
# otherwise have none, and every window a test makes would fail. Its server must be gone
# before the persistent one starts.
"$here/wine-run.sh" "$WINEPREFIX" cmd /c exit >/dev/null 2>&1 || true
wineserver -w 2>/dev/null || true

setsid wineserver -p >/dev/null 2>&1 </dev/null &
wine cmd /c exit >/dev/null 2>&1 || true
# No window manager runs on the display: with windows "managed", Wine would wait 2 s for one
# each time a window is hidden.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true

# Certificates for the HTTPS tests, made afresh for this run.
export HAULIX_TEST_CERTIFICATES="$(cd "$build" && pwd)/test-certificates"
"$here/make-test-certificates.sh" "$HAULIX_TEST_CERTIFICATES"

cd "$build"
# A test that fails is run once more, and fails the run only if it fails again: now and
# then a Wine process dies on its way out after every test in it has passed. A failure that
# repeats is still a failure; the log keeps the first attempt's output.
ctest --output-on-failure --no-tests=error --repeat until-pass:2 "$@"
