#!/bin/sh
# How long the real haulix.exe's Site Window leaves a message waiting while it crawls a large
# site: a generated site of PAGES pages served by a local nginx, opened in a Site Window with
# Expand pressed, 3 and 8 files at once, under Wine on a private display in a fresh prefix.
# haulix_answer_prober.exe starts the program as a user would and sends the window an empty
# message every 20 ms (and asks the tree's and list's counts every 250 ms, timed as well)
# until the crawl ends (the tree, the list and nginx's log unchanged for 10 s) or LIMIT
# seconds pass. Prints, per run: the tree's items and the list's rows at the end, the
# documents fetched (GET requests in nginx's log), the crawl's seconds (from Enter to the
# last change), the answers' largest time, 99th percentile and median, how many took over
# 100 ms, and haulix.exe's peak memory.
#
# Usage: bench/answer-bench.sh [BUILD_DIR]   (the windows preset's build, default build/windows)
# Environment: PAGES (default 50000); AT_ONCE (default "3 8"); LIMIT (seconds per crawl,
#              default 900); BEFORE=PATH also runs an earlier build's haulix.exe, in turn with
#              this one, so that a change is measured against what it changed in the same run.
# Kept in BUILD_DIR: answer-bench-LABEL.png, a picture of the display a quarter into the
# crawl, and answer-bench-LABEL.txt, every answer ("SECONDS MS TREE_ITEMS LIST_ROWS").
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
build=$(cd "${1:-$root/build/windows}" && pwd)
pages=${PAGES:-50000}
at_once=${AT_ONCE:-3 8}
limit=${LIMIT:-900}
before=${BEFORE:-}
prober="$build/haulix_answer_prober.exe"

for tool in nginx wine python3 Xvfb import convert; do
  command -v "$tool" >/dev/null 2>&1 || [ -x "/usr/sbin/$tool" ] ||
    { echo "answer-bench: $tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done
[ -z "$before" ] || [ -f "$before" ] || { echo "answer-bench: no $before" >&2; exit 1; }
cmake --build "$build" --target haulix haulix_answer_prober >/dev/null

work=$(mktemp -d /tmp/haulix-answer-bench.XXXXXX)
nginx_pid=""
export WINEPREFIX="$build/answer-prefix"
. "$root/scripts/e2e-common.sh"
. "$here/local-site.sh"
cleanup() {
  wineserver -k 2>/dev/null || true
  [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

generate_site "$work/www/generated" "$pages"
serve_site "$work" generated/index.html
start_display 190
fresh_prefix
windows_path() { printf 'Z:%s' "$1" | tr '/' '\\'; }
load() { cut -d' ' -f1 /proc/loadavg; }

# EXE LABEL AT_ONCE: one crawl by that haulix.exe, its figures a row of the table.
run_haulix() {
  name=$(echo "$2" | tr ' ,' '-' | tr -s '-')
  rm -rf "$work/pieces" "$work/picture.ppm"
  began_load=$(load)
  from=$(($(wc -l <"$work/logs/access.log") + 1))
  out=$(wine "$prober" "$(windows_path "$1")" "http://127.0.0.1:$port/generated/index.html" \
    "$(windows_path "$work/pieces")" "$3" "$(windows_path "$work/logs/access.log")" \
    "$(windows_path "$work/picture.ppm")" $((pages / 4)) "$limit" \
    "$(windows_path "$build/answer-bench-$name.txt")" | tr -d '\r') || true
  [ -n "$out" ] || { echo "answer-bench: haulix_answer_prober failed" >&2; exit 1; }
  [ ! -f "$work/picture.ppm" ] || convert "$work/picture.ppm" "$build/answer-bench-$name.png"
  echo "$out" | head -1 | tr ' ' '\n' | sed 's/^/r_/' >"$work/figures"
  . "$work/figures"
  fetched=$(tail -n +"$from" "$work/logs/access.log" | grep -c '"GET ' || true)
  printf '%-26s %7s %7s %7s %8s %8s %8s %8s %9s %8s %9s %6s\n' "$2" "$r_tree" "$r_rows" \
    "$fetched" "$r_seconds" "$r_answers" "$r_max_ms" "$r_p99_ms" "$r_median_ms" "$r_over_100ms" \
    "$r_peak_mib" \
    "$began_load-$(load)"
  [ "$r_settled" = 1 ] || echo "    (not settled within $limit s)"
  echo "    $(echo "$out" | sed -n 2p)"
}

echo "Generated site of $pages pages ($((pages / 2)) documents), nginx on 127.0.0.1, $(nproc) CPUs;"
echo "answers: the messages timed (an empty one every 20 ms, the counts every 250 ms)"
printf '%-26s %7s %7s %7s %8s %8s %8s %8s %9s %8s %9s %6s\n' "" tree list fetched "crawl s" \
  answers "max ms" "p99 ms" "median ms" ">100 ms" "peak MiB" load
for n in $at_once; do
  [ -z "$before" ] || run_haulix "$before" "Haulix before, $n at once" "$n"
  run_haulix "$build/haulix.exe" "Haulix, $n at once" "$n"
done
echo
echo "Goal: every answer within 100 ms, at every moment of the crawl."
