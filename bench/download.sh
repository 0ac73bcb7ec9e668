#!/usr/bin/env bash
# The download of a 1 GiB capture file (command=download) through lighttpd,
# where the program names the file (X-Sendfile) and lighttpd sends it,
# against lighttpd serving the same file as a static one; and the program's
# peak resident memory while it sends the file itself, as behind the other
# servers. run.sh sources it after its other
# figures (its variables and functions, its table); alone, after run.sh has
# built BUILD, it prints a table of its own:
#
# usage: bash bench/download.sh [--quick] [BUILD]   (default build/bench)
#   --quick: a 16 MiB file, one round, no target judged.
#
# Each of BENCH_DOWNLOAD_ROUNDS rounds (default 5) downloads the file once
# from each URL in turn, so that a change in the machine's load falls on
# both alike; a figure is the median of the rounds.
if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -euo pipefail
  cd "$(dirname "$0")/.."
  bench_dir=$PWD/bench
  quick=0
  if [ "${1:-}" = --quick ]; then
    quick=1
    shift
  fi
  build=$(realpath "${1:-build/bench}")
  run=$build/run
  helper=$build/velorantis-helper
  minimal=$build/velorantis-minimal-cgi
  source "$bench_dir/measure.sh"
  if [ ! -x "$helper" ] || [ ! -f "$run/velorantis-config.db" ]; then
    echo "download.sh: no benchmark build in $build; run bench/run.sh first" >&2
    exit 1
  fi
  echo "$(date -u '+%Y-%m-%d %H:%M UTC'), $(git rev-parse --short HEAD)$(git diff --quiet HEAD ||
    echo ' (modified)'), $(nproc) CPUs, load $(cut -d' ' -f1-3 /proc/loadavg)"
  row "figure (median of repeated runs)" "velorantis" "baseline" "baseline is" "ratio" "target"
fi
source "$bench_dir/lighttpd.sh"

# The file lies in lighttpd's document root, so both URLs read the same
# pages of the page cache; random bytes, made once per size.
download_dir=$run/download
download_file=$download_dir/www/capture.pcapng
if [ "$quick" = 1 ]; then
  download_size=$((16 << 20)) download_rounds=1 download_runs=1 download_label="16 MiB"
else
  download_size=$((1 << 30)) download_rounds=${BENCH_DOWNLOAD_ROUNDS:-5} download_runs=3
  download_label="1 GiB"
fi
mkdir -p "$download_dir/www"
if [ "$(stat -c %s "$download_file" 2>/dev/null)" != "$download_size" ]; then
  echo "making a $download_label capture file ..." >&2
  head -c "$download_size" /dev/urandom >"$download_file"
fi
download_id=1000000
sqlite3 "$run/velorantis-records.db" "INSERT OR REPLACE INTO captures (id, mac, file, loop, count,
  size, duration, inline, slicing, state, started, startedby, startedfrom) VALUES ($download_id,
  '00:11:22:33:44:55', '$download_file', 0, 0, 0, 0, 1, 0, 'ended', 1796717695, '-', '-')"
record_file_identities "$run/velorantis-records.db"

# download_speed URL: MB/s; fails unless the whole file came with 200.
download_speed() {
  local code bytes speed
  read -r code bytes speed < <(curl -s -o /dev/null \
    -w '%{http_code} %{size_download} %{speed_download}\n' "$1")
  if [ "$code" != 200 ] || [ "$bytes" != "$download_size" ]; then
    echo "download.sh: $1 answered $code with $bytes bytes" >&2
    return 1
  fi
  awk -v s="$speed" 'BEGIN { printf "%.1f\n", s / 1e6 }'
}

echo "a $download_label download through lighttpd ($download_rounds rounds) ..." >&2
start_lighttpd "$download_dir" "$helper" "$minimal"
trap stop_lighttpd EXIT
download_static=() download_program=()
for _ in $(seq "$download_rounds"); do
  download_static+=("$(download_speed "$lighttpd_url/capture.pcapng")")
  download_program+=("$(download_speed \
    "$lighttpd_url/cgi-bin/velorantis.cgi?command=download&id=$download_id")")
done
stop_lighttpd
trap - EXIT
target "$download_label download via lighttpd: MB/s" \
  "$(printf '%s\n' "${download_program[@]}" | median)" \
  "$(printf '%s\n' "${download_static[@]}" | median)" "lighttpd static" ">=" 0.8

# The program alone, sending the file itself (no VELORANTIS_X_SENDFILE), its
# answer read from a pipe as a web server reads it.
echo "peak resident memory of the download ..." >&2
read -r download_seconds download_kib download_bytes < <(time_memory_bytes "$download_runs" \
  REQUEST_METHOD=GET "QUERY_STRING=command=download&id=$download_id" -- "$helper")
if [ "${download_bytes:-0}" -le "$download_size" ]; then
  echo "download.sh: only ${download_bytes:-no} bytes from the program" >&2
  exit 1
fi
target "$download_label download: peak KiB" "$download_kib" 8192 "8 MiB" "<=" 1
row "$download_label download to a pipe: s" "$download_seconds" "" "" "" ""
