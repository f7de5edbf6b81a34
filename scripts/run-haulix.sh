#!/bin/sh
# `make run`: starts Haulix under Wine on your X display, in a Wine prefix of its own
# (build/run-prefix), so that it never touches your own Wine setup.
# Usage: run-haulix.sh [ARGUMENTS...]   (e.g. /site for a Site Window)
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
if [ -z "${DISPLAY:-}" ]; then
  cat >&2 <<'TEXT'
Haulix is a Windows program and needs an X display to show its window. Run `make run` in a
desktop session (or with an X server of your own and DISPLAY set), or give it a virtual
display, for example:
    xvfb-run -a -s '-screen 0 1280x1024x24' make run
TEXT
  exit 1
fi
exe="$root/build/windows/haulix.exe"
[ -f "$exe" ] || { echo "No $exe: build it first (make run does)." >&2; exit 1; }
exec "$root/scripts/wine-run.sh" "$root/build/run-prefix" "$exe" "$@"
