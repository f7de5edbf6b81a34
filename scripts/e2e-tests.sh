#!/bin/sh
# Runs the end-to-end tests: the real haulix.exe in a fresh Wine prefix of its own under the
# build folder, on a private Xvfb display, driven by haulix_e2e_tests.exe. The screenshots it
# takes are converted to PNG in BUILD_DIR/e2e-shots (BUILD_DIR/e2e-NAME-shots).
# Usage: e2e-tests.sh BUILD_DIR [GTEST_FILTER [NAME]]
#   Only the tests the filter picks run; with a NAME, in a prefix of that name.
set -e
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
filter=${2:+--gtest_filter=$2}
name=${3:+-$3}
export WINEPREFIX="$build/e2e$name-prefix"
. "$here/e2e-common.sh"

start_display 150
rm -rf "$build/e2e$name-shots"
fresh_prefix
# Certificates for the HTTPS cases, made afresh for this run; the test trusts their
# authority in the prefix while it runs.
export HAULIX_TEST_CERTIFICATES="$build/e2e$name-certificates"
"$here/make-test-certificates.sh" "$HAULIX_TEST_CERTIFICATES"

status=0
HAULIX_EXE="$build/haulix.exe" wine "$build/haulix_e2e_tests.exe" $filter || status=$?
convert_shots "$build/e2e$name-shots"
exit $status
