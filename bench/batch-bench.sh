#!/bin/sh
# Many small files, as a new user fetches a batch: 500 files of 10 KB from a local nginx, 3 at
# once, by the real haulix.exe under Wine (the addresses handed over at once, timed until
# every row shows Done) and by aria2c -j3 -i LIST, in the same run; every file compared.
#
# Usage: bench/batch-bench.sh [BUILD_DIR]     (the windows preset's build, default build/windows)
# Environment: FILES (default 500), KB (default 10), ROUNDS (default 3; medians are shown);
#              BEFORE=PATH also runs an earlier build's haulix.exe in every round, so that a
#              change is measured against what it changed in the same run.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
build=$(cd "${1:-$root/build/windows}" && pwd)
files=${FILES:-500}
kb=${KB:-10}
rounds=${ROUNDS:-3}
driver="$build/haulix_batch_driver.exe"
before=${BEFORE:-}
[ -z "$before" ] || [ -f "$before" ] || { echo "batch-bench: no $before" >&2; exit 1; }

for tool in nginx curl aria2c wine python3 cmp; do
  command -v "$tool" >/dev/null 2>&1 || [ -x "/usr/sbin/$tool" ] ||
    { echo "batch-bench: $tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done
cmake --build "$build" --target haulix haulix_batch_driver >/dev/null
nginx_bin=$(command -v nginx || echo /usr/sbin/nginx)

work=$(mktemp -d /tmp/haulix-batch-bench.XXXXXX)
nginx_pid=""
export WINEPREFIX="$build/batch-prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
. "$root/scripts/e2e-common.sh"
cleanup() {
  [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

# The server: nginx on a free port of 127.0.0.1 serving the files.
mkdir -p "$work/www" "$work/logs"
chmod 755 "$work" "$work/www"
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cat >"$work/nginx.conf" <<EOF
worker_processes 1;
daemon off;
pid $work/nginx.pid;
error_log $work/logs/error.log;
events { worker_connections 256; }
http {
  access_log off;
  client_body_temp_path $work/logs;
  proxy_temp_path $work/logs;
  fastcgi_temp_path $work/logs;
  uwsgi_temp_path $work/logs;
  scgi_temp_path $work/logs;
  sendfile on;
  server { listen 127.0.0.1:$port; root $work/www; }
}
EOF
: >"$work/list"
for i in $(seq "$files"); do
  head -c $((kb * 1024)) /dev/urandom >"$work/www/file$i.bin"
  echo "http://127.0.0.1:$port/file$i.bin" >>"$work/list"
done
chmod 644 "$work"/www/*
"$nginx_bin" -c "$work/nginx.conf" -p "$work" 2>/dev/null &
nginx_pid=$!
i=0
until curl -s -o /dev/null "http://127.0.0.1:$port/file1.bin"; do
  i=$((i + 1))
  [ $i -lt 100 ] || { echo "batch-bench: nginx did not start" >&2; exit 1; }
  sleep 0.05
done

# Wine: a prefix of its own with one persistent wineserver, and a display for the window.
start_display 180
[ -d "$WINEPREFIX" ] || { wineboot -i >/dev/null 2>&1 || true; wineserver -w 2>/dev/null || true; }
setsid wineserver -p >/dev/null 2>&1 </dev/null &
wine cmd /c exit >/dev/null 2>&1 || true
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
windows_path() { printf 'Z:%s' "$1" | tr '/' '\\'; }

same_files() {  # folder
  for i in $(seq "$files"); do
    cmp -s "$1/file$i.bin" "$work/www/file$i.bin" || {
      echo "batch-bench: $1/file$i.bin differs; the folder holds:" >&2
      ls -la "$1" | head -20 >&2
      exit 1
    }
  done
}

# EXE NAME: one batch by that haulix.exe, its times kept under NAME.
run_haulix() {
  rm -rf "$work/haulix"
  mkdir -p "$work/haulix"
  wine "$driver" "$(windows_path "$1")" "$(windows_path "$work/list")" \
    "$(windows_path "$work/haulix")" 3 >"$work/times" ||
    { echo "batch-bench: haulix_batch_driver failed" >&2; exit 1; }
  times=$(tr -d '\r' <"$work/times")
  same_files "$work/haulix"
  echo "$2 $times" >>"$work/results"
}

: >"$work/results"
for round in $(seq "$rounds"); do
  echo "Round $round of $rounds..."
  rm -rf "$work/aria2c" "$work/haulix"
  began=$(date +%s.%N)
  aria2c -q -j3 -d "$work/aria2c" -i "$work/list"
  ended=$(date +%s.%N)
  same_files "$work/aria2c"
  echo "aria2c $(awk -v a="$began" -v b="$ended" 'BEGIN { print b - a }') 0" >>"$work/results"
  run_haulix "$build/haulix.exe" haulix
  [ -z "$before" ] || run_haulix "$before" before
done

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
aria=$(awk '$1 == "aria2c" { print $2 }' "$work/results" | median)
whole=$(awk '$1 == "haulix" { print $2 }' "$work/results" | median)
batch=$(awk '$1 == "haulix" { print $3 }' "$work/results" | median)
echo
echo "$files files of $kb KB from nginx on 127.0.0.1, 3 at once, $(nproc) CPUs, median of $rounds rounds; all files identical"
printf '%-44s %9s %10s %10s\n' "" "wall s" "files/s" "/ aria2c"
awk -v l="aria2c -j3 -i LIST" -v w="$aria" -v n="$files" -v a="$aria" \
  'BEGIN { printf "%-44s %9.2f %10.0f %10.2f\n", l, w, n / w, w / a }'
awk -v l="Haulix, handed over until every row is Done" -v w="$batch" -v n="$files" -v a="$aria" \
  'BEGIN { printf "%-44s %9.2f %10.0f %10.2f\n", l, w, n / w, w / a }'
awk -v l="Haulix, from its start" -v w="$whole" -v n="$files" -v a="$aria" \
  'BEGIN { printf "%-44s %9.2f %10.0f %10.2f\n", l, w, n / w, w / a }'
if [ -n "$before" ]; then
  earlier=$(awk '$1 == "before" { print $3 }' "$work/results" | median)
  awk -v l="Haulix before, handed over until all Done" -v w="$earlier" -v n="$files" -v a="$aria" \
    'BEGIN { printf "%-44s %9.2f %10.0f %10.2f\n", l, w, n / w, w / a }'
fi
awk -v w="$batch" -v a="$aria" 'BEGIN {
  printf "Goal: within 2 x aria2c (%s: %.2f)\n", (w / a <= 2 ? "met" : "missed"), w / a }'
