#!/bin/sh
# Tests the package for Windows users: the zip holds haulix.exe, README.txt, LICENCE.txt and
# MINGW-W64.txt; haulix.exe imports nothing but Windows system libraries; and unpacked into
# the Downloads folder of a fresh Wine prefix, it starts from there and sets itself up, as a
# user who has just downloaded it sees it (haulix_package_tests.exe drives that part; its
# About box must show VERSION).
# Usage: package-tests.sh BUILD_DIR ZIP VERSION
set -e
build=$(cd "$1" && pwd)
zip=$2
export HAULIX_PACKAGE_VERSION=$3
here=$(cd "$(dirname "$0")" && pwd)
export WINEPREFIX="$build/package-prefix"
. "$here/e2e-common.sh"

status=0
fail() {
  echo "FAILED: $*" >&2
  status=1
}

contents=$(unzip -Z1 "$zip" | sort | tr '\n' ' ')
[ "$contents" = "LICENCE.txt MINGW-W64.txt README.txt haulix.exe " ] ||
  fail "the zip holds: $contents"

start_display 190
fresh_prefix
profile=$(wine cmd /c echo %USERPROFILE% 2>/dev/null | tr -d '\r')
downloads="$(winepath -u "$profile" 2>/dev/null)/Downloads/haulix"
rm -rf "$downloads"
mkdir -p "$downloads"
unzip -q "$zip" -d "$downloads"
exe="$downloads/haulix.exe"

# The Windows system libraries a program may count on; no MinGW or C++ run-time DLL.
system="advapi32.dll comctl32.dll comdlg32.dll crypt32.dll gdi32.dll imm32.dll kernel32.dll
  msvcrt.dll ntdll.dll ole32.dll oleaut32.dll secur32.dll shell32.dll shlwapi.dll user32.dll
  uxtheme.dll version.dll wininet.dll winmm.dll ws2_32.dll"
imports=$(x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ { print tolower($3) }' | sort -u)
[ -n "$imports" ] || fail "no imports read from $exe"
for dll in $imports; do
  case " $(echo $system) " in
    *" $dll "*) ;;
    *) fail "haulix.exe imports $dll, which is no Windows system library" ;;
  esac
done
echo "haulix.exe imports: $(echo $imports)"
# Stripped: no symbol table left.
x86_64-w64-mingw32-objdump -t "$exe" | grep -q '^no symbols' || fail "haulix.exe is not stripped"
# No debugging sections either.
if x86_64-w64-mingw32-objdump -h "$exe" | grep -q '\.debug'; then
  fail "haulix.exe carries debugging sections"
fi

rm -rf "$build/package-shots"
HAULIX_EXE="$exe" wine "$build/haulix_package_tests.exe" || status=1
convert_shots "$build/package-shots"
exit $status
