#!/bin/sh
# Runs every benchmark built in the given build folder (the release preset).
set -e
build=${1:-build/release}
for b in "$build"/*_bench; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b"
done
