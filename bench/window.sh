# A time window of a capture (command=download&from&to) against editcap -A/-B
# on the same file, sourced by bench/run.sh after its requests (it uses the
# helper, the environment and the table functions set there):
#
# - the wall time and peak resident memory of the last few seconds of a
#   1 GiB capture (--quick: 64 MiB), the median of the runs, with the
#   result's packets (count, first and last time) checked against editcap's;
# - the peak resident memory of a window near the end of a capture past
#   5 GiB, most of it two blocks that are holes in a sparse file.
window_dir=$run/window
rm -rf "$window_dir"
mkdir -p "$window_dir"
make_capture=$build/velorantis-make-capture
window_bytes=$((quick == 1 ? 64 << 20 : 1 << 30))
read -r _ window_last < <("$make_capture" "$window_dir/capture.pcapng" "$window_bytes")
"$make_capture" "$window_dir/sparse.pcapng" $((8 << 20)) --holes >/dev/null
sqlite3 "$run/velorantis-records.db" >/dev/null <<SQL
DELETE FROM captures WHERE id IN (9001, 9002);
INSERT INTO captures (id, mac, file, loop, count, size, duration, inline, slicing, state, started,
  startedby, startedfrom)
VALUES (9001, '00:11:22:33:44:55', '$window_dir/capture.pcapng', 0, 0, 0, 0, 1, 0, 'ended', 0, '-', '-'),
  (9002, '00:11:22:33:44:55', '$window_dir/sparse.pcapng', 0, 0, 0, 0, 1, 0, 'ended', 0, '-', '-');
SQL
record_file_identities "$run/velorantis-records.db"
# The last three seconds but one of the capture.
window_to=$(awk -v t="$window_last" 'BEGIN { printf "%.6f", t - 1 }')
window_from=$(awk -v t="$window_last" 'BEGIN { printf "%.6f", t - 4 }')

# window_run ID FROM: the program's time (s) and peak memory (KiB), its
# answer's body in $window_dir/ours.pcapng.
window_run() {
  local report=$window_dir/time
  env -i "${cgi_env[@]}" "QUERY_STRING=command=download&id=$1&from=$2&to=$window_to" \
    /usr/bin/time -f '%e %M' -o "$report" "$helper" >"$window_dir/answer"
  sed '1,/^$/d' "$window_dir/answer" >"$window_dir/ours.pcapng"
  cat "$report"
}
packets_of() { capinfos -M -c -a -e "$1" | tail -n +2; }

echo "a time window of $((window_bytes >> 20)) MiB against editcap ..." >&2
ours_s=() ours_kib=() editcap_s=()
for _ in $(seq "${reps[3]}"); do
  read -r s kib < <(window_run 9001 "$window_from")
  ours_s+=("$s") ours_kib+=("$kib")
  /usr/bin/time -f '%e' -o "$window_dir/time" editcap -A "$window_from" -B "$window_to" \
    "$window_dir/capture.pcapng" "$window_dir/theirs.pcapng"
  editcap_s+=("$(cat "$window_dir/time")")
done
if [ "$(packets_of "$window_dir/ours.pcapng")" != "$(packets_of "$window_dir/theirs.pcapng")" ]; then
  echo "the window's packets are not editcap's:" >&2
  packets_of "$window_dir/ours.pcapng" >&2
  packets_of "$window_dir/theirs.pcapng" >&2
  exit 1
fi
ours_s=$(printf '%s\n' "${ours_s[@]}" | median)
editcap_s=$(printf '%s\n' "${editcap_s[@]}" | median)
target "window of $((window_bytes >> 20)) MiB: wall s" "$ours_s" "$editcap_s" "editcap -A -B" "<=" 0.5
target "window: peak KiB" "$(printf '%s\n' "${ours_kib[@]}" | median)" 8192 "8 MiB" "<=" 1
read -r _ sparse_kib < <(window_run 9002 0)
if ! capinfos -c "$window_dir/ours.pcapng" >/dev/null; then
  echo "the sparse capture's window does not read" >&2
  exit 1
fi
target "window of 5 GiB sparse: peak KiB" "$sparse_kib" 8192 "8 MiB" "<=" 1
