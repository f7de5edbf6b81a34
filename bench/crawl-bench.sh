#!/bin/sh
# A Site Window's crawl with Expand pressed against GNU wget's recursive spider, on the same
# pages served by a local nginx, in the same run: Debian's Python 3.11 documentation (the
# python3.11-doc package), and optionally a generated site of many pages. Prints, for each
# crawler: documents (distinct pages asked for), requests (nginx's access log), seconds,
# documents per second and peak memory, with the ratio of the times, and the load average
# at the start and the end.
#
# Usage: bench/crawl-bench.sh [BUILD_DIR]   (the windows preset's build, default build/windows)
# Environment: GENERATED=N adds a generated site of N pages (documents with fragment links,
#              about N/2 documents); AT_ONCE (default "3 8"), the files at once of Haulix;
#              BEFORE=PATH also runs an earlier build's haulix_crawl.exe, in turn with this one,
#              so that a change is measured against what it changed in the same run.
#
# Haulix is haulix_crawl.exe under Wine: the crawl of the Site Window on the real ports
# (WinInet, Win32 files), its tree and list kept in memory. wget is `wget -r -l inf
# --spider -np` from the same start page. Seconds are wall time from starting the program
# to its end (Wine's start included); peak memory the largest resident set of the program
# and its children, sampled every 10 ms.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
build=$(cd "${1:-$root/build/windows}" && pwd)
crawler="$build/haulix_crawl.exe"
docs=/usr/share/doc/python3.11/html
generated=${GENERATED:-0}
at_once=${AT_ONCE:-3 8}
before=${BEFORE:-}

for tool in nginx wget wine python3; do
  command -v "$tool" >/dev/null 2>&1 || [ -x "/usr/sbin/$tool" ] ||
    { echo "crawl-bench: $tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done
[ -d "$docs" ] || { echo "crawl-bench: no $docs (scripts/setup.sh installs python3.11-doc)" >&2; exit 1; }
[ -f "$crawler" ] || { echo "crawl-bench: no $crawler (cmake --build $build --target haulix_crawl)" >&2; exit 1; }
[ -z "$before" ] || [ -f "$before" ] || { echo "crawl-bench: no $before" >&2; exit 1; }

work=$(mktemp -d /tmp/haulix-crawl-bench.XXXXXX)
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

# Runs a command; prints "WALL_SECONDS PEAK_KIB" and the command's output after them.
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
process = subprocess.Popen(sys.argv[1:], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
peak = 0
while process.poll() is None:
    peak = max(peak, sum(rss_kib(pid) for pid in tree(process.pid)))
    time.sleep(0.01)
wall = time.monotonic() - began
out = process.stdout.read().decode(errors="replace").strip()
print("%.3f %d %s" % (wall, peak, out.replace("\n", " ")))
EOF
}

# The server: the documents under /python/, the generated site under /generated/.
. "$here/local-site.sh"
mkdir -p "$work/www"
ln -s "$docs" "$work/www/python"
[ "$generated" -eq 0 ] || generate_site "$work/www/generated" "$generated"
serve_site "$work" python/index.html
# Wine's server and prefix come up once, before anything is timed.
wineserver -p >/dev/null 2>&1 </dev/null &
wine cmd /c exit >/dev/null 2>&1 || true

# From the access log lines written since line FROM: "DOCUMENTS REQUESTS REPEATED" where
# documents are the distinct pages asked for (any method), requests every line, and
# repeated the pages fetched (GET) more than once. wget's spider sends HEAD, then GET for
# a page, so a page costs it two requests without being repeated.
count_requests() {
  tail -n +"$1" "$work/logs/access.log" | python3 -c '
import sys, collections
paths = collections.Counter()
requests = 0
for line in sys.stdin:
    try:
        method, path = line.split("\"")[1].split()[:2]
    except (IndexError, ValueError):
        continue
    requests += 1
    path = path.split("#")[0]
    if path.endswith("/") or path.endswith(".html") or path.endswith(".htm"):
        paths[path] += method == "GET"
print(len(paths), requests, sum(1 for n in paths.values() if n > 1))'
}
log_lines() { wc -l <"$work/logs/access.log"; }
load() { cut -d' ' -f1 /proc/loadavg; }

# NAME DOCUMENTS REQUESTS REPEATED SECONDS PEAK_KIB WGET_SECONDS
row() {
  awk -v n="$1" -v d="$2" -v r="$3" -v x="$4" -v s="$5" -v k="$6" -v w="$7" 'BEGIN {
    printf "%-28s %9d %9d %8d %8.2f %9.0f %9.1f %8.2f\n", n, d, r, x, s, d / s, k / 1024, s / w }'
}

run_site() {
  name=$1; start=$2; folder=$3
  echo
  echo "$name: $start (load average $(load) at the start)"
  printf '%-28s %9s %9s %8s %8s %9s %9s %8s\n' "" documents requests repeated seconds "docs/s" "peak MiB" "/ wget"
  from=$(($(log_lines) + 1))
  set -- $(measure wget -q -r -l inf --spider -np -e robots=off -P "$work/wget" "$start")
  wget_s=$1; wget_kib=$2
  set -- $(count_requests "$from")
  wget_docs=$1
  row "wget -r --spider" "$1" "$2" "$3" "$wget_s" "$wget_kib" "$wget_s"
  for n in $at_once; do
    [ -z "$before" ] || run_crawler "$before" "Haulix before, $n at once" "$start" "$n"
    run_crawler "$crawler" "Haulix, $n at once" "$start" "$n"
  done
}

# CRAWLER LABEL START AT_ONCE
run_crawler() {
  from=$(($(log_lines) + 1))
  out=$(measure wine "$1" "$3" --at-once "$4" --folder "$work/pieces")
  label=$2
  set -- $out
  h_s=$1; h_kib=$2; shift 2; detail="$*"
  set -- $(count_requests "$from")
  row "$label" "$1" "$2" "$3" "$h_s" "$h_kib" "$wget_s"
  echo "    ($detail)"
}

mkdir -p "$work/pieces"
run_site "Python 3.11 documentation" "http://127.0.0.1:$port/python/index.html" python
if [ "$generated" -gt 0 ]; then
  run_site "Generated site of $generated pages" "http://127.0.0.1:$port/generated/index.html" generated
fi
echo
echo "Load average at the end: $(load). Load slows wget more than Haulix: compare ratios of one run."
echo "Goals: every document requested once (repeated 0); 3 at once within 2 x wget's time; 8 at once faster than wget."
