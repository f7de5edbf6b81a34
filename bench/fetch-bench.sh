#!/bin/sh
# Downloads one large file from a local nginx with the transfer engine (haulix_fetch.exe
# under Wine, "Connections per file" 1 and 4), curl and aria2c -x4 -s4, measured in the same
# run, and prints wall time, peak memory and the ratios. Every download is compared with the
# file. Two scenarios, each its own table: nginx on loopback as fast as it goes, and nginx
# with a limit per connection (limit_rate 16m), where more connections are what makes a
# download faster.
#
# Usage: bench/fetch-bench.sh [BUILD_DIR]      (the windows preset's build, default build/windows)
# Environment: SIZE_MIB (default 1024), LIMITED_MIB (default 512), ROUNDS (default 3; the
# median of each is shown).
#
# Wall time counts from starting the program to its end (for the engine: Wine's start with a
# running wineserver, about 0.1-0.3 s, included). Peak memory is the largest sum of the
# resident sets of the program and its child processes, sampled every 10 ms from /proc.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
build=$(cd "${1:-$root/build/windows}" && pwd)
size_mib=${SIZE_MIB:-1024}
limited_mib=${LIMITED_MIB:-512}
rounds=${ROUNDS:-3}
fetch="$build/haulix_fetch.exe"

for tool in nginx curl aria2c wine python3 cmp; do
  command -v "$tool" >/dev/null 2>&1 || [ -x "/usr/sbin/$tool" ] ||
    { echo "fetch-bench: $tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done
[ -f "$fetch" ] || { echo "fetch-bench: no $fetch (cmake --build $build --target haulix_fetch)" >&2; exit 1; }
nginx_bin=$(command -v nginx || echo /usr/sbin/nginx)

work=$(mktemp -d /tmp/haulix-fetch-bench.XXXXXX)
nginx_pid=""
export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

# Runs a command; prints "WALL_SECONDS PEAK_KIB" (and fails when the command fails).
measure() {
  python3 - "$@" <<'EOF'
import os, subprocess, sys, time

def tree(root):
    children = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as f:
                fields = f.read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        children.setdefault(int(fields[1]), []).append(int(entry))
    found, todo = [], [root]
    while todo:
        pid = todo.pop()
        found.append(pid)
        todo.extend(children.get(pid, []))
    return found

def rss_kib(pid):
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0

began = time.monotonic()
process = subprocess.Popen(sys.argv[1:], stdout=subprocess.DEVNULL)
peak = 0
while process.poll() is None:
    peak = max(peak, sum(rss_kib(pid) for pid in tree(process.pid)))
    time.sleep(0.01)
wall = time.monotonic() - began
if process.returncode != 0:
    sys.exit("fetch-bench: %s failed (%d)" % (" ".join(sys.argv[1:]), process.returncode))
print("%.3f %d" % (wall, peak))
EOF
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# The server: nginx on a free port of 127.0.0.1, with its own configuration and files.
mkdir -p "$work/www" "$work/logs"
chmod 755 "$work" "$work/www"
free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
port=$(free_port)
limited_port=$(free_port)
cat >"$work/nginx.conf" <<EOF
worker_processes 1;
daemon off;
pid $work/nginx.pid;
error_log $work/logs/error.log;
events { worker_connections 256; }
http {
  access_log $work/logs/access.log;
  client_body_temp_path $work/logs;
  proxy_temp_path $work/logs;
  fastcgi_temp_path $work/logs;
  uwsgi_temp_path $work/logs;
  scgi_temp_path $work/logs;
  sendfile on;
  server { listen 127.0.0.1:$port; root $work/www; }
  server { listen 127.0.0.1:$limited_port; root $work/www; limit_rate 16m; }
}
EOF
echo "Making a $size_mib MiB file and a $limited_mib MiB one..."
head -c $((size_mib * 1048576)) /dev/urandom >"$work/www/file.bin"
head -c $((limited_mib * 1048576)) /dev/urandom >"$work/www/limited.bin"
chmod 644 "$work/www/file.bin" "$work/www/limited.bin"
"$nginx_bin" -c "$work/nginx.conf" -p "$work" 2>/dev/null &
nginx_pid=$!
address="http://127.0.0.1:$port/file.bin"
limited_address="http://127.0.0.1:$limited_port/limited.bin"
i=0
until curl -s -o /dev/null -r 0-0 "$address"; do
  i=$((i + 1))
  [ $i -lt 100 ] || { echo "fetch-bench: nginx did not start" >&2; cat "$work/logs/error.log" >&2; exit 1; }
  sleep 0.05
done

# Wine: the build's prefix, with one persistent wineserver so each run starts quickly.
"$root/scripts/wine-run.sh" "$WINEPREFIX" cmd /c exit >/dev/null 2>&1 || true
wineserver -w 2>/dev/null || true
setsid wineserver -p >/dev/null 2>&1 </dev/null &
wine cmd /c exit >/dev/null 2>&1 || true
windows_path() { printf 'Z:%s' "$1" | tr '/' '\\'; }

run() {  # name, expected file, output file, command...
  name=$1
  expected=$2
  out=$3
  shift 3
  rm -f "$out"
  result=$(measure "$@")
  cmp -s "$out" "$expected" || { echo "fetch-bench: $name made a different file" >&2; exit 1; }
  rm -f "$out"
  echo "$result"
}

# One scenario: every tool on the address, ROUNDS times, into the results file.
scenario() {  # results file, address, expected file
  results=$1
  url=$2
  expected=$3
  : >"$results"
  for round in $(seq "$rounds"); do
    echo "Round $round of $rounds ($url)..."
    echo "curl $(run curl "$expected" "$work/curl.out" curl -s -o "$work/curl.out" "$url")" >>"$results"
    echo "aria2c $(run aria2c "$expected" "$work/aria2c.out" aria2c -q -x4 -s4 \
      --allow-overwrite=true -d "$work" -o aria2c.out "$url")" >>"$results"
    for c in 1 4; do
      echo "haulix$c $(run "haulix $c" "$expected" "$work/haulix.out" wine "$fetch" "$url" \
        "$(windows_path "$work/haulix.out")" --connections $c)" >>"$results"
    done
  done
}

wall() { awk -v n="$2" '$1 == n { print $2 }' "$1" | median; }
peak() { awk -v n="$2" '$1 == n { print $3 }' "$1" | median; }

table() {  # results file, title
  results=$1
  curl_wall=$(wall "$results" curl)
  aria_wall=$(wall "$results" aria2c)
  one_wall=$(wall "$results" haulix1)
  echo
  echo "$2, $(nproc) CPUs, median of $rounds rounds; all files identical"
  printf '%-26s %9s %10s %9s %10s %10s\n' "" "wall s" "peak MiB" "/ curl" "/ aria2c" "/ 1 conn"
  for n in curl aria2c haulix1 haulix4; do
    case $n in
      curl) label="curl" ;;
      aria2c) label="aria2c -x4 -s4" ;;
      haulix1) label="Haulix, 1 connection" ;;
      haulix4) label="Haulix, 4 connections" ;;
    esac
    awk -v l="$label" -v w="$(wall "$results" $n)" -v p="$(peak "$results" $n)" \
      -v c="$curl_wall" -v a="$aria_wall" -v o="$one_wall" \
      'BEGIN { printf "%-26s %9.2f %10.1f %9.2f %10.2f %10.2f\n", l, w, p / 1024, w / c, w / a, w / o }'
  done
}

most_peak() {  # the larger median peak of Haulix's two runs in a results file, KiB
  for n in haulix1 haulix4; do peak "$1" $n; done | sort -n | tail -1
}

scenario "$work/loopback" "$address" "$work/www/file.bin"
scenario "$work/limited" "$limited_address" "$work/www/limited.bin"

table "$work/loopback" "$size_mib MiB from nginx on 127.0.0.1"
awk -v w="$(wall "$work/loopback" haulix4)" -v a="$(wall "$work/loopback" aria2c)" \
  -v o="$(wall "$work/loopback" haulix1)" -v p="$(most_peak "$work/loopback")" 'BEGIN {
  printf "Goals: 4 connections at most 1.0 x aria2c (%s: %.2f) and no slower than 1 (%s: %.2f); peak under 64 MiB (%s: %.1f MiB)\n",
         (w / a <= 1.0 ? "met" : "missed"), w / a, (w <= o ? "met" : "missed"), w / o,
         (p < 65536 ? "met" : "missed"), p / 1024 }'

table "$work/limited" "$limited_mib MiB from nginx on 127.0.0.1, limit_rate 16m per connection"
awk -v w="$(wall "$work/limited" haulix4)" -v a="$(wall "$work/limited" aria2c)" \
  -v p="$(most_peak "$work/limited")" 'BEGIN {
  printf "Goals: 4 connections within 1.1 x aria2c -x4 (%s: %.2f); peak under 64 MiB (%s: %.1f MiB)\n",
         (w / a <= 1.1 ? "met" : "missed"), w / a, (p < 65536 ? "met" : "missed"), p / 1024 }'
