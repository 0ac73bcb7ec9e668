#!/usr/bin/env bash
# Makes what the benchmarked requests read, in DIR: the configuration and
# records databases from the shipped schemas, a status database whose first device has
# SAMPLES samples in each statistics table (made once per sample count), and
# a simulator state directory with two devices.
#
# usage: make-databases.sh DIR SAMPLES
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: $0 DIR SAMPLES" >&2; exit 2; }
dir=$1 samples=$2
schema="$(dirname "$0")/../schema"
mkdir -p "$dir/sim" "$dir/home"

rm -f "$dir/velorantis-config.db" "$dir"/velorantis-records.db*
sqlite3 "$dir/velorantis-config.db" <"$schema/config.sql" >/dev/null
sqlite3 "$dir/velorantis-records.db" <"$schema/records.sql" >/dev/null

printf '%s\n' '00:11:22:33:44:55 11' '00:11:22:33:44:56 13' >"$dir/sim/devices"

# Counters grow every second as the status daemon's do, so the numbers in an
# answer have the digits of a long-running capture.
status="$dir/velorantis.db"
if [ "$(cat "$status.samples" 2>/dev/null)" != "$samples" ]; then
  rm -f "$status" "$status.samples" "$status-wal" "$status-shm"
  sqlite3 "$status" >/dev/null <<SQL
.read $schema/status.sql
PRAGMA journal_mode = WAL;
INSERT INTO device (id, mac, model) VALUES
  (1, '00:11:22:33:44:55', 'Velorantis-A1'), (2, '00:11:22:33:44:56', 'Velorantis-C30');
INSERT INTO capture VALUES (1, 1, 0, 1048576, 268435456, 123456789, 0), (2, 0, 0, 0, 268435456, 0, 0);
BEGIN;
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n LIMIT $samples)
INSERT INTO stats_v1 SELECT 1, 1700000000 + i, i / 3, 1, 0, i * 32, i * 2150,
  i, i * 1050, i * 20, 0, i / 2, 0, i * 650000, 0, i * 1070, i / 2, i / 2,
  i, i * 800, i * 10, 0, i / 2, 0, i * 500000, 0, i * 810, i / 2, i / 2 FROM n;
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n LIMIT $samples)
INSERT INTO stats_v2 SELECT 1, 1700000000 + i, i / 2, i * 32, i * 2150,
  i * 500000, i * 1350, i * 950, i, i, i, i, i * 1000, i * 650, i / 2, i / 2,
  i * 5, i * 5, i * 5, i * 5, i * 5 FROM n;
COMMIT;
SQL
  echo "$samples" >"$status.samples"
fi
