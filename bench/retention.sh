# The retention policy's cost, sourced by bench/run.sh after its requests
# (it uses the helper, the environment and the table functions set there):
#
# - the instructions a start adds under a policy that holds, against the
#   same start without one: a device that refuses to start runs the whole
#   start but the capture itself (the claim, the policy's pass, the device's
#   three calls), so no capture writer is forked under callgrind;
# - the wall time of a prune over 1,000 ended captures whose files are all
#   there and within the policy: each file is looked at once.
retention_dir=$run/retention
rm -rf "$retention_dir"
mkdir -p "$retention_dir/sim" "$retention_dir/captures"
echo '00:11:22:33:44:57 3 fail=start' >"$retention_dir/sim/devices"
records_db=$run/velorantis-records.db
retention_env=("${cgi_env[@]/VELORANTIS_SIM_DIR=*/VELORANTIS_SIM_DIR=$retention_dir/sim}")
start_query="command=start&mac=00:11:22:33:44:57&output=$retention_dir/captures&loop=0&count=0&size=0&duration=0"
mapfile -t vars < <(request_env "$start_query")

policy() {  # MAXBYTES MINFREE
  sqlite3 "$records_db" "UPDATE retention SET maxbytes = $1, minfree = $2" >/dev/null
}
echo "a start without a retention policy and under one ..." >&2
policy 0 0
start_plain=$(instructions "${reps[0]}" "${retention_env[@]}" "${vars[@]}" -- "$helper")
policy 1000000000000 1
start_policy=$(instructions "${reps[0]}" "${retention_env[@]}" "${vars[@]}" -- "$helper")
target "start under a policy: added instr." "$((start_policy - start_plain))" 60000 "allowed" "<=" 1

echo "a prune of 1,000 ended captures ..." >&2
for i in $(seq 1000); do printf x >"$retention_dir/captures/c$i.pcapng"; done
sqlite3 "$records_db" >/dev/null <<SQL
BEGIN;
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n LIMIT 1000)
INSERT INTO captures (mac, file, loop, count, size, duration, inline, slicing, state, started,
  startedby, startedfrom, ended, filesize)
SELECT '00:11:22:33:44:57', '$retention_dir/captures/c' || i || '.pcapng', 0, 0, 0, 0, 1, 0,
  'ended', 1796700000 + i, '-', '-', 1796700001 + i, 1 FROM n;
COMMIT;
SQL
record_file_identities "$records_db"
mapfile -t vars < <(request_env "command=prune")
answer=$(env -i "${retention_env[@]}" "${vars[@]}" "$helper")
if [[ $answer != *'"removed": 0,'* || $answer != *'"met": 1,'* ]]; then
  printf 'the prune does not answer as expected:\n%s\n' "${answer:0:2000}" >&2
  exit 1
fi
while read -r name value; do ms[$name]=$value; done < <(
  wall_times "${reps[1]}" "${reps[2]}" "${retention_env[@]}" "${vars[@]}" -- prune "$helper")
target "prune, 1,000 captures: wall ms" "${ms[prune]}" 50 "allowed" "<=" 1
policy 0 0
