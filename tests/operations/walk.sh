#!/usr/bin/env bash
# The handbook's steps (docs/operations.md), walked against a scratch root
# and the test program's databases: install, back up while requests run,
# restore, upgrade a version 4 records database, rotate the failure log.
#
# usage: walk.sh BUILD_DIR HELPER CONFIG_DB RECORDS_DB
set -euo pipefail
build=$1 helper=$2 config=$3 records=$4
work=$(mktemp -d)
storm=''
cleanup() {
  if [ -n "$storm" ]; then kill "$storm" 2>/dev/null || true; wait "$storm" 2>/dev/null || true; fi
  ask "command=stop&mac=default" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "walk: $*" >&2
  exit 1
}
ask() { QUERY_STRING=$1 HTTP_X_REQUESTED_WITH=walk "$helper"; }
succeeds() { ask "$1" 2>/dev/null | grep -q '"result": 0,' || fail "$1 did not succeed"; }

echo "== install into a scratch root"
DESTDIR=$work/root cmake --install "$build" --prefix /usr >/dev/null
for entry in lib/cgi-bin/velorantis-helper:755 share/velorantis/config.sql:644 \
  share/velorantis/records.sql:644 share/velorantis/www/index.html:644; do
  path=$work/root/usr/${entry%:*}
  [ -f "$path" ] || fail "$path not installed"
  mode=$(stat -c %a "$path")
  [ "$mode" = "${entry##*:}" ] || fail "$path has mode $mode, not ${entry##*:}"
done

echo "== the databases, from the installed schema"
rm -f "$config" "$config"-* "$records" "$records"-* "$records".unmet
sqlite3 "$config" <"$work/root/usr/share/velorantis/config.sql" >/dev/null
export VELORANTIS_SIM_DIR=$work/sim
mkdir -p "$VELORANTIS_SIM_DIR" "$work/captures"
echo "00:11:22:33:44:55 3" >"$VELORANTIS_SIM_DIR/devices"
start="command=start&mac=default&output=$work/captures/&loop=0&count=0&size=1&duration=0"

echo "== back up while requests run"
(
  while :; do
    ask "$start" >/dev/null 2>&1
    ask "command=stop&mac=default" >/dev/null 2>&1
    ask "command=setconfig&mac=default&output=$work/captures&loop=0&count=0&size=1&duration=0&slicing=0&inline=0" >/dev/null 2>&1
    ask "command=captures" >/dev/null 2>&1
  done
) &
storm=$!
# Until the storm has made the records database and recorded a capture.
for _ in $(seq 100); do
  [ "$(sqlite3 -cmd ".timeout 10000" "$records" "SELECT count(*) FROM captures" 2>/dev/null || echo 0)" -gt 1 ] && break
  sleep 0.1
done
for round in 1 2 3; do
  sqlite3 -cmd ".timeout 10000" "$config" ".backup $work/config-$round.db"
  sqlite3 -cmd ".timeout 10000" "$records" ".backup $work/records-$round.db"
  for copy in "$work/config-$round.db" "$work/records-$round.db"; do
    [ "$(sqlite3 "$copy" 'PRAGMA integrity_check')" = ok ] || fail "$copy is damaged"
  done
done
kill "$storm"
wait "$storm" 2>/dev/null || true
storm=''
ask "command=stop&mac=default" >/dev/null 2>&1 || true
kept=$(sqlite3 "$work/records-3.db" 'SELECT count(*) FROM captures')
[ "$kept" -gt 1 ] || fail "the backup holds $kept captures"

echo "== restore"
sqlite3 "$records" ".restore $work/records-3.db"
sqlite3 "$config" ".restore $work/config-3.db"
listed=$(ask "command=captures&limit=1000" | grep -c '^{"id"' || true)
[ "$listed" = "$kept" ] || fail "captures lists $listed entries after the restore, the backup $kept"
succeeds "command=getconfig&mac=default"

echo "== upgrade a version 4 records database"
sqlite3 "$records" "DROP TRIGGER usage_added; DROP TRIGGER usage_dropped;
  DROP TRIGGER usage_changed; DROP TABLE usage; DROP TABLE folders;
  DROP INDEX captures_mac; DROP INDEX captures_file;
  ALTER TABLE audit DROP COLUMN filter; PRAGMA user_version = 4;"
succeeds "command=captures"
[ "$(sqlite3 "$records" 'PRAGMA user_version')" = 5 ] || fail "not brought up to version 5"
[ "$(sqlite3 "$records" 'SELECT keptbytes FROM usage')" = \
  "$(sqlite3 "$records" "SELECT coalesce(sum(max(filesize, 0)), 0) FROM captures
     WHERE state IN ('stopped', 'ended', 'gone')")" ] || fail "the storage summary is not counted"
succeeds "command=audit"

echo "== rotate the failure log"
log=$work/velorantis.log
cat >"$work/logrotate.conf" <<EOF
$log {
    rotate 8
    missingok
    notifempty
    copytruncate
}
EOF
ask "command=nosuch" >/dev/null 2>>"$log"
logrotate -s "$work/logrotate.state" -f "$work/logrotate.conf"
grep -q 'message="Unknown command"' "$log.1" || fail "the rotated log lacks its line"
[ ! -s "$log" ] || fail "the log was not emptied"
ask "command=nosuch" >/dev/null 2>>"$log"
[ "$(wc -l <"$log")" = 1 ] || fail "the log takes no new line after its rotation"
echo "walk: every step as docs/operations.md says"
