#!/bin/sh
# Runs a Windows program under Wine in the given prefix, making the prefix on first use.
# Usage: wine-run.sh PREFIX PROGRAM [ARGS...]
set -e
prefix=$1
shift
export WINEPREFIX="$prefix"
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$(dirname "$prefix")"
  (
    flock 9
    if [ ! -f "$prefix/system.reg" ]; then
      wineboot -i >/dev/null 2>&1 || true
      wineserver -w 2>/dev/null || true
    fi
  ) 9>"$prefix.lock"
fi
exec wine "$@"
