#!/usr/bin/env bash
# Benchmarks a request's cost side by side with its baselines, measured in the
# same run, and prints one table (docs/performance.md keeps the results):
#
# - instructions (callgrind) and wall time (hyperfine) of getconfig, status
#   (the default window), list and metrics (two devices), against a minimal C program printing a
#   fixed response and against the sqlite3 shell answering with -json;
# - the status window of every sample (BENCH_SAMPLES per table, default
#   100,000: an answer of about 40 MB, within the request's memory budget of
#   at most 64 MiB) against sqlite3 -json on the same two queries: time, peak
#   memory, answer bytes;
# - requests per second of getconfig through lighttpd (wrk, 16 connections,
#   loopback) against the same server running the minimal C program;
# - microbenchmarks (Google Benchmark) of urlDecode and the number-list writer.
#
# usage: bash bench/run.sh [CMAKE_ARGUMENT]...
#   Arguments go to CMake and stay in the build's cache; BENCH_BUILD (default
#   build/bench) names the build folder, so choices can be compared, e.g.
#   BENCH_BUILD=build/bench-dynamic bash bench/run.sh -DVELORANTIS_STATIC_CXX_RUNTIME=OFF
set -euo pipefail
cd "$(dirname "$0")/.."
bench_dir=$PWD/bench
bash scripts/install-deps.sh bench
source "$bench_dir/measure.sh"

build=$PWD/${BENCH_BUILD:-build/bench}
run=$build/run
samples=${BENCH_SAMPLES:-100000}
# The programs run from the build tree. CMake pads a run path that
# cmake --install is to edit with an empty entry, which the loader reads as
# the current directory and searches for the C library on every start; the
# installed program has no run path at all, so the benchmark build is linked
# without the padding (it is never installed).
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DVELORANTIS_BENCHMARKS=ON \
  -DCMAKE_NO_BUILTIN_CHRPATH=ON \
  -DVELORANTIS_CONFIG_DB="$run/velorantis-config.db" \
  -DVELORANTIS_STATUS_DB="$run/velorantis.db" "$@" >/dev/null
cmake --build "$build" -j "$(nproc)" >/dev/null
echo "making the databases ($samples samples per table) ..." >&2
bash "$bench_dir/make-databases.sh" "$run" "$samples"

helper=$build/velorantis-helper
minimal=$build/velorantis-minimal-cgi
shell=$(command -v sqlite3)
config_db=$run/velorantis-config.db
status_db=$run/velorantis.db
mac=00:11:22:33:44:55
# Every measured process, baselines included, gets the environment lighttpd
# gives a CGI program (as a curl request shows it), QUERY_STRING and
# REQUEST_URI added per request: its size is part of start-up (the C library
# reads it). HOME is an empty folder, so the shell reads no start-up file.
cgi_env=(GATEWAY_INTERFACE=CGI/1.1 SERVER_SOFTWARE=lighttpd/1.4.69 SERVER_NAME=127.0.0.1
  SERVER_ADDR=127.0.0.1 SERVER_PORT=8080 SERVER_PROTOCOL=HTTP/1.1 REQUEST_SCHEME=http
  REQUEST_METHOD=GET REDIRECT_STATUS=200 REMOTE_ADDR=127.0.0.1 REMOTE_PORT=50000
  HTTP_HOST=127.0.0.1:8080 HTTP_USER_AGENT=curl/7.88.1 "HTTP_ACCEPT=*/*" CONTENT_LENGTH=0
  DOCUMENT_ROOT="$run/www" SCRIPT_NAME=/cgi-bin/velorantis.cgi SCRIPT_FILENAME="$helper"
  HOME="$run/home" VELORANTIS_SIM_DIR="$run/sim")
request_env() {  # QUERY
  echo "QUERY_STRING=$1"
  echo "REQUEST_URI=/cgi-bin/velorantis.cgi?$1"
}

# What the sqlite3 shell runs for each request: the program's own queries (for
# list, the status database's device list, the nearest the shell can give).
v1_columns="date, softwaredropped, linkup, linkdown, bogusbytes, totalpackets,
  p1_lessthan64, p1_between64and1518, p1_morethan1518, p1_collision, p1_crcerror, p1_jabber,
  p1_bytes, p1_maximumbytes, p1_totalvalid, p1_totalinvalid, p1_hardwaredropped,
  p2_lessthan64, p2_between64and1518, p2_morethan1518, p2_collision, p2_crcerror, p2_jabber,
  p2_bytes, p2_maximumbytes, p2_totalvalid, p2_totalinvalid, p2_hardwaredropped"
v2_columns="date, softwaredropped, bogusbytes, totalpackets, counter1, counter2, counter3,
  counter4, counter5, counter6, counter7, counter8, counter9, counter10, counter11, counter12,
  counter13, counter14, counter15, counter16"
window_sql() {  # LIMIT
  echo "SELECT $v1_columns FROM stats_v1 WHERE device = 1 AND date > 0 ORDER BY date ASC LIMIT $1;
SELECT $v2_columns FROM stats_v2 WHERE device = 1 AND date > 0 ORDER BY date ASC LIMIT $1;"
}
declare -A query sql db
query[getconfig]="command=getconfig&mac=default"
sql[getconfig]="SELECT destination, loop, count, size, duration, inline, slicing FROM config WHERE mac = 'default';"
db[getconfig]=$config_db
query[status]="command=status&mac=$mac"
sql[status]="BEGIN; SELECT id FROM device WHERE mac = '$mac'; SELECT model FROM device WHERE mac = '$mac';
SELECT status, error, cacheused, maxcache, written, dropped FROM capture WHERE device = 1;
$(window_sql 1) COMMIT;"
db[status]=$status_db
query[list]="command=list"
sql[list]="SELECT mac, model FROM device;"
db[list]=$status_db
# metrics: both devices of the status database (the second one without
# samples); the shell runs the same reads.
newest_sql() {  # DEVICE
  echo "SELECT status, error, cacheused, maxcache, written, dropped FROM capture WHERE device = $1;
SELECT $v1_columns FROM stats_v1 WHERE device = $1 ORDER BY date DESC LIMIT 1;
SELECT $v2_columns FROM stats_v2 WHERE device = $1 ORDER BY date DESC LIMIT 1;"
}
query[metrics]="command=metrics"
sql[metrics]="BEGIN; SELECT id, mac, model FROM device WHERE id >= 0 ORDER BY id;
$(newest_sql 1) $(newest_sql 2) COMMIT;"
db[metrics]=$status_db
requests=(getconfig status list metrics)

rows=()
row() { rows+=("$(printf '%-34s %14s %14s %-16s %7s %8s' "$@")"); }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }
verdict() {  # RATIO OP LIMIT
  awk -v r="$1" -v op="$2" -v l="$3" \
    'BEGIN { ok = (op == "<=" ? r <= l : r >= l); printf "%s%s %s", op, l, ok ? "met" : "NOT met" }'
}
target() {  # LABEL OURS THEIRS BASELINE OP LIMIT
  local r
  r=$(ratio "$2" "$3")
  row "$1" "$2" "$3" "$4" "$r" "$(verdict "$r" "$5" "$6")"
}

echo "instructions (callgrind) ..." >&2
declare -A ins
for r in "${requests[@]}"; do
  mapfile -t vars < <(request_env "${query[$r]}")
  ins[$r]=$(instructions 3 "${cgi_env[@]}" "${vars[@]}" -- "$helper")
  ins[$r.minimal]=$(instructions 3 "${cgi_env[@]}" "${vars[@]}" -- "$minimal")
  ins[$r.shell]=$(instructions 3 "${cgi_env[@]}" "${vars[@]}" -- "$shell" -json "${db[$r]}" "${sql[$r]}")
done

echo "wall time (hyperfine) ..." >&2
declare -A ms
for r in "${requests[@]}"; do
  mapfile -t vars < <(request_env "${query[$r]}")
  while read -r name value; do ms[$name]=$value; done < <(
    wall_times 5 "${cgi_env[@]}" "${vars[@]}" -- \
      "$r" "$helper" "$r.minimal" "$minimal" \
      "$r.shell" "$shell -json ${db[$r]} \"${sql[$r]//$'\n'/ }\"")
done

echo "the status window of every sample ..." >&2
mapfile -t vars < <(request_env "command=status&mac=$mac&limit=-1")
read -r win_s win_kib win_bytes < <(time_memory_bytes 3 "${cgi_env[@]}" "${vars[@]}" -- "$helper")
read -r shell_s shell_kib shell_bytes < <(time_memory_bytes 3 "${cgi_env[@]}" "${vars[@]}" -- \
  "$shell" -json "$status_db" "$(window_sql -1)")

echo "requests per second through lighttpd (wrk) ..." >&2
source "$bench_dir/lighttpd.sh"
start_lighttpd "$run/lighttpd" "$helper" "$minimal"
trap stop_lighttpd EXIT
{
  read -r rps
  read -r rps_minimal
} < <(requests_per_second 5 3 "$lighttpd_url/cgi-bin/velorantis.cgi?${query[getconfig]}" \
  "$lighttpd_url/minimal.cgi?${query[getconfig]}")
stop_lighttpd
trap - EXIT

echo "microbenchmarks ..." >&2
declare -A micro
while read -r name value; do micro[$name]=$value; done < <(micro_benchmarks "$build/velorantis-micro-bench")

row "figure (median of repeated runs)" "velorantis" "baseline" "baseline is" "ratio" "target"
for r in "${requests[@]}"; do
  if [ "$r" = getconfig ]; then
    target "$r: instructions" "${ins[$r]}" "${ins[$r.minimal]}" "C program" "<=" 3.5
    target "$r: instructions" "${ins[$r]}" "${ins[$r.shell]}" "sqlite3 -json" "<=" 0.15
  else
    row "$r: instructions" "${ins[$r]}" "${ins[$r.minimal]}" "C program" "$(ratio "${ins[$r]}" "${ins[$r.minimal]}")" ""
    row "$r: instructions" "${ins[$r]}" "${ins[$r.shell]}" "sqlite3 -json" "$(ratio "${ins[$r]}" "${ins[$r.shell]}")" ""
  fi
  row "$r: wall ms" "${ms[$r]}" "${ms[$r.minimal]}" "C program" "$(ratio "${ms[$r]}" "${ms[$r.minimal]}")" ""
  row "$r: wall ms" "${ms[$r]}" "${ms[$r.shell]}" "sqlite3 -json" "$(ratio "${ms[$r]}" "${ms[$r.shell]}")" ""
done
target "status: instructions" "${ins[status]}" "${ins[status.minimal]}" "C program" "<=" 5
target "metrics, 2 devices: instructions" "${ins[metrics]}" "${ins[metrics.minimal]}" "C program" "<=" 5
target "window of $samples: seconds" "$win_s" "$shell_s" "sqlite3 -json" "<=" 0.35
target "window of $samples: peak KiB" "$win_kib" "$((win_bytes / 1024))" "answer KiB" "<=" 1.2
row "window of $samples: peak KiB" "$win_kib" "$shell_kib" "sqlite3 -json" "$(ratio "$win_kib" "$shell_kib")" ""
row "window of $samples: answer bytes" "$win_bytes" "$shell_bytes" "sqlite3 -json" "$(ratio "$win_bytes" "$shell_bytes")" ""
target "getconfig via lighttpd: req/s" "$rps" "$rps_minimal" "C program" ">=" 0.8
for n in 64 4096; do
  row "urlDecode, $n bytes: ns" "${micro[BM_UrlDecode/$n]}" "${micro[BM_UrlDecodeBaselineCopy/$n]}" "copy" \
    "$(ratio "${micro[BM_UrlDecode/$n]}" "${micro[BM_UrlDecodeBaselineCopy/$n]}")" ""
done
for n in 1000 100000; do
  row "number list, $n values: ns" "${micro[BM_SeriesText/$n]}" \
    "${micro[BM_SeriesTextBaselineToChars/$n]}" "std::to_chars" \
    "$(ratio "${micro[BM_SeriesText/$n]}" "${micro[BM_SeriesTextBaselineToChars/$n]}")" ""
done

echo
echo "$(date -u '+%Y-%m-%d %H:%M UTC'), $(git rev-parse --short HEAD)$(git diff --quiet HEAD || echo ' (modified)')," \
  "$(lscpu | sed -n 's/^Model name: *//p'), $(nproc) CPUs, load $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%s\n' "${rows[@]}"
