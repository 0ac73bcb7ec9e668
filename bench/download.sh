#!/usr/bin/env bash
# The download of a 1 GiB capture file (command=download) through lighttpd,
# against lighttpd serving the same file itself, and the program's peak
# resident memory while it sends the file. run.sh calls it with its build
# folder after its own table; alone, after run.sh has built BUILD:
#
# usage: bash bench/download.sh [BUILD]   (default build/bench)
#
# BENCH_DOWNLOAD_ROUNDS (default 5) rounds each download the file once from
# each URL in turn, so that a change in the machine's load falls on both
# alike; each figure is the median of the rounds.
set -euo pipefail
cd "$(dirname "$0")/.."
bench_dir=$PWD/bench
source "$bench_dir/measure.sh"
source "$bench_dir/lighttpd.sh"

build=$(realpath "${1:-build/bench}")
helper=$build/velorantis-helper
run=$build/run
rounds=${BENCH_DOWNLOAD_ROUNDS:-5}
[ -x "$helper" ] && [ -f "$run/velorantis-config.db" ] || {
  echo "download.sh: no benchmark build in $build; run bench/run.sh first" >&2
  exit 1
}

# The file lies in lighttpd's document root, so both URLs read the same
# pages of the page cache; random bytes, made once.
dir=$run/download
file=$dir/www/capture.pcapng
size=$((1 << 30))
mkdir -p "$dir/www"
if [ "$(stat -c %s "$file" 2>/dev/null)" != "$size" ]; then
  echo "making a 1 GiB capture file ..." >&2
  head -c "$size" /dev/urandom >"$file"
fi
id=1000000
sqlite3 "$run/velorantis-config.db" "INSERT OR REPLACE INTO captures (id, mac, file, loop, count,
  size, duration, inline, slicing, state, started, startedby, startedfrom) VALUES ($id,
  '00:11:22:33:44:55', '$file', 0, 0, 0, 0, 1, 0, 'ended', 1796717695, '-', '-')"

rows=()
row() { rows+=("$(printf '%-34s %14s %14s %-16s %7s %8s' "$@")"); }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }
verdict() {  # RATIO OP LIMIT
  awk -v r="$1" -v op="$2" -v l="$3" \
    'BEGIN { ok = (op == "<=" ? r <= l : r >= l); printf "%s%s %s", op, l, ok ? "met" : "NOT met" }'
}

# download URL: the speed in MB/s; fails unless the whole file came with 200.
download() {
  local code bytes speed
  read -r code bytes speed < <(curl -s -o /dev/null -w '%{http_code} %{size_download} %{speed_download}\n' "$1")
  if [ "$code" != 200 ] || [ "$bytes" != "$size" ]; then
    echo "download.sh: $1 answered $code with $bytes bytes" >&2
    return 1
  fi
  awk -v s="$speed" 'BEGIN { printf "%.1f\n", s / 1e6 }'
}

echo "a 1 GiB download through lighttpd ($rounds rounds) ..." >&2
start_lighttpd "$dir" "$helper" "$build/velorantis-minimal-cgi"
trap stop_lighttpd EXIT
program_url="$lighttpd_url/cgi-bin/velorantis.cgi?command=download&id=$id"
static=() program=()
for _ in $(seq "$rounds"); do
  static+=("$(download "$lighttpd_url/capture.pcapng")")
  program+=("$(download "$program_url")")
done
stop_lighttpd
trap - EXIT
static_mbs=$(printf '%s\n' "${static[@]}" | median)
program_mbs=$(printf '%s\n' "${program[@]}" | median)

# The program alone, its answer read from a pipe as a web server reads it.
echo "peak resident memory of the download ..." >&2
read -r seconds peak_kib bytes < <(time_memory_bytes 3 REQUEST_METHOD=GET \
  "QUERY_STRING=command=download&id=$id" -- "$helper")
[ "$bytes" -gt "$size" ] || { echo "download.sh: only $bytes bytes from the program" >&2; exit 1; }

row "figure (median of repeated runs)" "velorantis" "baseline" "baseline is" "ratio" "target"
r=$(ratio "$program_mbs" "$static_mbs")
row "1 GiB download via lighttpd: MB/s" "$program_mbs" "$static_mbs" "lighttpd static" "$r" \
  "$(verdict "$r" ">=" 0.8)"
r=$(ratio "$peak_kib" 8192)
row "1 GiB download: peak KiB" "$peak_kib" 8192 "8 MiB" "$r" "$(verdict "$r" "<=" 1)"
row "1 GiB download to a pipe: seconds" "$seconds" "" "" "" ""
echo
echo "$(date -u '+%Y-%m-%d %H:%M UTC'), $(git rev-parse --short HEAD)$(git diff --quiet HEAD || echo ' (modified)')," \
  "load $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%s\n' "${rows[@]}"
