# Measuring functions for run.sh and download.sh (sourced), and the rows of
# their table. Each measuring function prints one figure, the median of
# repeated runs. Commands run with the environment the caller gives them
# through `env -i`, as a web server gives a CGI program only its variables.

# The table's rows, printed as soon as their figures are in. A quick run
# ($quick is 1) judges no target.
row() { printf '%-34s %14s %14s %-16s %7s %8s\n' "$@"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }
verdict() {  # RATIO OP LIMIT
  awk -v r="$1" -v op="$2" -v l="$3" \
    'BEGIN { ok = (op == "<=" ? r <= l : r >= l); printf "%s%s %s", op, l, ok ? "met" : "NOT met" }'
}
target() {  # LABEL OURS THEIRS BASELINE [OP LIMIT]
  local r
  r=$(ratio "$2" "$3")
  if [ "$quick" = 1 ] || [ $# -lt 6 ]; then
    row "$1" "$2" "$3" "$4" "$r" ""
  else
    row "$1" "$2" "$3" "$4" "$r" "$(verdict "$r" "$5" "$6")"
  fi
}

# The median of the numbers on standard input, one per line.
median() {
  sort -g | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'
}

# instructions RUNS NAME=VALUE... -- COMMAND [ARG]...: whole-process
# instructions under callgrind.
instructions() {
  local runs=$1 vars=()
  shift
  while [ "$1" != -- ]; do vars+=("$1"); shift; done
  shift
  for _ in $(seq "$runs"); do
    env -i "${vars[@]}" bash "$bench_dir/callgrind.sh" "$@"
  done | median
}

# wall_times ROUNDS RUNS NAME=VALUE... -- NAME1 COMMAND1 [NAME2 COMMAND2]...:
# wall time in milliseconds of each command (hyperfine, no shell between),
# one line each, "NAME MILLISECONDS", in the order given. Each round runs
# every command RUNS times in turn, so that a change in the machine's load
# falls on each alike; a command's figure is the median of its rounds'
# medians.
wall_times() {
  local rounds=$1 runs=$2 vars=() commands=()
  shift 2
  while [ "$1" != -- ]; do vars+=("$1"); shift; done
  shift
  while [ $# -gt 0 ]; do commands+=(-n "$1" "$2"); shift 2; done
  local csv log all
  csv=$(mktemp)
  log=$(mktemp)
  all=$(mktemp)
  for _ in $(seq "$rounds"); do
    # Its warnings about outliers on a busy machine stay out of the table.
    if ! env -i "${vars[@]}" hyperfine -N --style none --warmup 3 --runs "$runs" \
      --export-csv "$csv" "${commands[@]}" >"$log" 2>&1; then
      cat "$log" >&2
      return 1
    fi
    # Columns: command,mean,stddev,median,...; seconds.
    awk -F, 'NR > 1 { printf "%d %s %.3f\n", NR, $1, $4 * 1000 }' "$csv" >>"$all"
  done
  local order name
  for order in $(cut -d' ' -f1 "$all" | sort -un); do
    name=$(awk -v o="$order" '$1 == o { print $2; exit }' "$all")
    echo "$name $(awk -v o="$order" '$1 == o { print $3 }' "$all" | median)"
  done
  rm -f "$csv" "$log" "$all"
}

# time_memory_bytes RUNS NAME=VALUE... -- COMMAND [ARG]...: "SECONDS
# PEAK_KIB BYTES", each the median over RUNS runs: wall time and peak
# resident memory of the process (GNU time) and the bytes it wrote, read from
# a pipe as a web server reads them.
time_memory_bytes() {
  local runs=$1 vars=()
  shift
  while [ "$1" != -- ]; do vars+=("$1"); shift; done
  shift
  local report rows=()
  report=$(mktemp)
  for _ in $(seq "$runs"); do
    local bytes
    bytes=$(env -i "${vars[@]}" /usr/bin/time -f '%e %M' -o "$report" "$@" | wc -c)
    rows+=("$(cat "$report") $bytes")
  done
  rm -f "$report"
  local column
  for column in 1 2 3; do
    printf '%s\n' "${rows[@]}" | awk -v c=$column '{ print $c }' | median
  done | paste -sd' '
}

# requests_per_second RUNS SECONDS URL...: wrk over 16 connections on
# loopback, the URLs taking turns so that a change in the machine's load
# falls on each alike. Prints the median requests per second of each URL, one
# line each, in the order given.
requests_per_second() {
  local runs=$1 seconds=$2 url report
  shift 2
  local -a results=()
  for _ in $(seq "$runs"); do
    local i=0
    for url in "$@"; do
      report=$(wrk -t 2 -c 16 -d "${seconds}s" "$url")
      if grep -q 'Non-2xx' <<<"$report"; then
        echo "wrk: error answers from $url" >&2
        return 1
      fi
      results[i]+="$(awk '/^Requests\/sec:/ { print $2 }' <<<"$report") "
      i=$((i + 1))
    done
  done
  for i in "${!results[@]}"; do
    tr ' ' '\n' <<<"${results[i]}" | grep . | median
  done
}

# micro_benchmarks PROGRAM REPETITIONS FILTER: "NAME NANOSECONDS" per Google
# Benchmark case matching FILTER, the median CPU time of REPETITIONS
# repetitions (with one, its only run's, measured briefly). Fails, showing
# the program's messages, when the program does.
micro_benchmarks() {
  local report status=0 options=(--benchmark_repetitions="$2")
  [ "$2" -gt 1 ] || options+=(--benchmark_min_time=0.01)
  report=$(mktemp)
  "$1" "${options[@]}" --benchmark_filter="$3" --benchmark_report_aggregates_only=true \
    --benchmark_color=false >"$report" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    cat "$report" >&2
    rm -f "$report"
    return "$status"
  fi
  awk '$1 ~ /^BM_/ && $1 !~ /_(mean|stddev|cv)$/ {
    name = $1; sub(/_median$/, "", name)
    print name, $4 * ($5 == "us" ? 1000 : $5 == "ms" ? 1e6 : 1) }' "$report"
  rm -f "$report"
}

# record_file_identities DB: gives the ledger entries of records database DB
# that name their files by path only the device and inode of the regular
# file there now, as the program records them once a device has created a
# capture's file; without them an ended entry has no file.
record_file_identities() {
  local id file
  sqlite3 -separator ' ' "$1" "SELECT id, file FROM captures WHERE fileino = 0" |
    while read -r id file; do
      [ -f "$file" ] && [ ! -L "$file" ] &&
        stat -c "UPDATE captures SET filedev = %d, fileino = %i WHERE id = $id;" "$file"
    done | sqlite3 "$1"
}
