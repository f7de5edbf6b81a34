#!/bin/sh
# Runs the end-to-end test of setup and removal: the real haulix.exe in a fresh Wine prefix
# of its own under the build folder (removal deletes the program's settings and closes its
# windows, so it shares a prefix with nothing), on a private Xvfb display. Each test suite
# gets a prefix made afresh; screenshots are converted to PNG in BUILD_DIR/setup-e2e-shots.
# Usage: setup-e2e-tests.sh BUILD_DIR
set -e
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
export WINEPREFIX="$build/setup-e2e-prefix"
. "$here/e2e-common.sh"

start_display 170
tests="$build/haulix_setup_e2e_tests.exe"
rm -rf "$build/setup-e2e-shots"
fresh_prefix
suites=$(wine "$tests" --gtest_list_tests 2>/dev/null | tr -d '\r' | awk '/^[^ ].*\.$/ { print $1 "*" }')
status=0
first=1
for suite in $suites; do
  [ $first -eq 1 ] || fresh_prefix
  first=0
  HAULIX_EXE="$build/haulix.exe" wine "$tests" --gtest_filter="$suite" || status=$?
  convert_shots "$build/setup-e2e-shots"
done
[ -n "$suites" ] || status=1
exit $status
