#!/usr/bin/env bash
# Benchmarks a request's cost side by side with its baselines, measured in the
# same run, and prints a table, each row as soon as it is measured
# (docs/performance.md keeps the results):
#
# - instructions (callgrind) and wall time (hyperfine) of getconfig, status
#   (the default window), list and metrics (two devices), against a minimal C program printing a
#   fixed response and against the sqlite3 shell answering with -json;
# - the instructions a start adds under a retention policy that holds, and
#   the wall time of a prune over 1,000 ended captures (bench/retention.sh);
# - a time window of a 1 GiB capture against editcap -A/-B, and the peak
#   memory of one past 5 GiB (bench/window.sh);
# - the status window of every sample (BENCH_SAMPLES per table, default
#   100,000: an answer of about 40 MB, within the request's memory budget of
#   at most 64 MiB) against sqlite3 -json on the same two queries: time, peak
#   memory, answer bytes;
# - requests per second of getconfig through lighttpd (wrk, 16 connections,
#   loopback) against the same server running the minimal C program;
# - microbenchmarks (Google Benchmark) of urlDecode and the number-list writer.
#
# usage: bash bench/run.sh [--quick] [CMAKE_ARGUMENT]...
#   --quick: small sizes (1,000 samples per table), one repetition of each
#   measurement and no target judged, in a minute or two: CI runs it so that
#   a change that breaks the benchmarks fails there.
#   Arguments go to CMake and stay in the build's cache; BENCH_BUILD (default
#   build/bench) names the build folder, so choices can be compared, e.g.
#   BENCH_BUILD=build/bench-dynamic bash bench/run.sh -DVELORANTIS_STATIC_CXX_RUNTIME=OFF
set -euo pipefail
cd "$(dirname "$0")/.."
bench_dir=$PWD/bench
quick=0
if [ "${1:-}" = --quick ]; then
  quick=1
  shift
fi
bash scripts/install-deps.sh bench
source "$bench_dir/measure.sh"

build=$PWD/${BENCH_BUILD:-build/bench}
run=$build/run
# Repetitions: callgrind runs, hyperfine rounds and runs per round, GNU time
# runs, wrk rounds and seconds, Google Benchmark repetitions.
if [ "$quick" = 1 ]; then
  samples=${BENCH_SAMPLES:-1000}
  reps=(1 1 3 1 1 1 1)
else
  samples=${BENCH_SAMPLES:-100000}
  reps=(3 5 20 3 5 3 5)
fi
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
sql[status]="BEGIN; SELECT id, model FROM device WHERE mac = '$mac';
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

# Each request must answer with success, or its figures would measure a
# failure.
for r in "${requests[@]}" window; do
  q=${query[$r]:-command=status&mac=$mac&limit=-1}
  mapfile -t vars < <(request_env "$q")
  answer=$(env -i "${cgi_env[@]}" "${vars[@]}" "$helper")
  # metrics answers in the text format, and only a success has that type.
  if [[ $answer != *'"result": 0,'* && $answer != 'Content-type: text/plain; version=0.0.4'* ]]; then
    printf 'the program does not answer %s with success:\n%s\n' "$q" "${answer:0:2000}" >&2
    exit 1
  fi
done

echo "$(date -u '+%Y-%m-%d %H:%M UTC'), $(git rev-parse --short HEAD)$(git diff --quiet HEAD || echo ' (modified)')," \
  "$(lscpu | sed -n 's/^Model name: *//p'), $(nproc) CPUs, load $(cut -d' ' -f1-3 /proc/loadavg)$(
    [ "$quick" = 0 ] || echo ', quick run: no measurement')"
row "figure (median of repeated runs)" "velorantis" "baseline" "baseline is" "ratio" "target"

declare -A ins ms
for r in "${requests[@]}"; do
  echo "$r: instructions (callgrind), wall time (hyperfine) ..." >&2
  mapfile -t vars < <(request_env "${query[$r]}")
  ins[$r]=$(instructions "${reps[0]}" "${cgi_env[@]}" "${vars[@]}" -- "$helper")
  ins[$r.minimal]=$(instructions "${reps[0]}" "${cgi_env[@]}" "${vars[@]}" -- "$minimal")
  ins[$r.shell]=$(instructions "${reps[0]}" "${cgi_env[@]}" "${vars[@]}" -- \
    "$shell" -json "${db[$r]}" "${sql[$r]}")
  if [ "$r" = getconfig ]; then
    target "$r: instructions" "${ins[$r]}" "${ins[$r.minimal]}" "C program" "<=" 3
    target "$r: instructions" "${ins[$r]}" "${ins[$r.shell]}" "sqlite3 -json" "<=" 0.15
  elif [ "$r" = status ] || [ "$r" = metrics ]; then
    target "$r: instructions" "${ins[$r]}" "${ins[$r.minimal]}" "C program" "<=" 6.5
    target "$r: instructions" "${ins[$r]}" "${ins[$r.shell]}" "sqlite3 -json"
  else
    target "$r: instructions" "${ins[$r]}" "${ins[$r.minimal]}" "C program"
    target "$r: instructions" "${ins[$r]}" "${ins[$r.shell]}" "sqlite3 -json"
  fi
  while read -r name value; do ms[$name]=$value; done < <(
    wall_times "${reps[1]}" "${reps[2]}" "${cgi_env[@]}" "${vars[@]}" -- \
      "$r" "$helper" "$r.minimal" "$minimal" \
      "$r.shell" "$shell -json ${db[$r]} \"${sql[$r]//$'\n'/ }\"")
  for baseline in minimal shell; do
    if [ -z "${ms[$r.$baseline]:-}" ]; then
      echo "hyperfine gave no time for $r.$baseline" >&2
      exit 1
    fi
  done
  target "$r: wall ms" "${ms[$r]}" "${ms[$r.minimal]}" "C program"
  target "$r: wall ms" "${ms[$r]}" "${ms[$r.shell]}" "sqlite3 -json"
done

source "$bench_dir/retention.sh"
source "$bench_dir/window.sh"

echo "the status window of every sample ..." >&2
mapfile -t vars < <(request_env "command=status&mac=$mac&limit=-1")
read -r win_s win_kib win_bytes < <(time_memory_bytes "${reps[3]}" "${cgi_env[@]}" "${vars[@]}" -- "$helper")
read -r shell_s shell_kib shell_bytes < <(time_memory_bytes "${reps[3]}" "${cgi_env[@]}" "${vars[@]}" -- \
  "$shell" -json "$status_db" "$(window_sql -1)")
if [ -z "${win_bytes:-}" ] || [ -z "${shell_bytes:-}" ]; then
  echo "the status window was not measured" >&2
  exit 1
fi
target "window of $samples: seconds" "$win_s" "$shell_s" "sqlite3 -json" "<=" 0.35
target "window of $samples: peak KiB" "$win_kib" "$((win_bytes / 1024))" "answer KiB" "<=" 1.2
target "window of $samples: peak KiB" "$win_kib" "$shell_kib" "sqlite3 -json"
target "window of $samples: answer bytes" "$win_bytes" "$shell_bytes" "sqlite3 -json"

echo "requests per second through lighttpd (wrk) ..." >&2
source "$bench_dir/lighttpd.sh"
start_lighttpd "$run/lighttpd" "$helper" "$minimal"
trap stop_lighttpd EXIT
{
  read -r rps
  read -r rps_minimal
} < <(requests_per_second "${reps[4]}" "${reps[5]}" \
  "$lighttpd_url/cgi-bin/velorantis.cgi?${query[getconfig]}" \
  "$lighttpd_url/minimal.cgi?${query[getconfig]}")
stop_lighttpd
trap - EXIT
if [ -z "${rps:-}" ] || [ -z "${rps_minimal:-}" ]; then
  echo "wrk gave no requests per second" >&2
  exit 1
fi
target "getconfig via lighttpd: req/s" "$rps" "$rps_minimal" "C program" ">=" 0.8

echo "microbenchmarks ..." >&2
declare -A micro
micro_filter=.
[ "$quick" = 0 ] || micro_filter='/(64|1000)$'
while read -r name value; do micro[$name]=$value; done < <(
  micro_benchmarks "$build/velorantis-micro-bench" "${reps[6]}" "$micro_filter")
# figure LABEL CASE BASELINE_CASE BASELINE_NAME
micro_row() {
  if [ -z "${micro[$2]:-}" ] || [ -z "${micro[$3]:-}" ]; then
    echo "the microbenchmarks gave no figure for $2 or $3" >&2
    exit 1
  fi
  target "$1" "${micro[$2]}" "${micro[$3]}" "$4"
}
for n in 64 4096; do
  [ "$quick" = 0 ] || [ "$n" = 64 ] || continue
  micro_row "urlDecode, $n bytes: ns" "BM_UrlDecode/$n" "BM_UrlDecodeBaselineCopy/$n" "copy"
done
for n in 1000 100000; do
  [ "$quick" = 0 ] || [ "$n" = 1000 ] || continue
  micro_row "number list, $n values: ns" "BM_SeriesText/$n" "BM_SeriesTextBaselineToChars/$n" \
    "std::to_chars"
done

# The download of a capture file through lighttpd.
source "$bench_dir/download.sh"
