#!/usr/bin/env bash
# Builds the system and answers requests as the web server would, against two
# simulated capture devices, a configuration database made from the shipped
# schema and a status database kept by the stand-in status daemon, printing
# each whole CGI response. Everything lives under demo-run/ in the source tree.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

root="$PWD/demo-run"
build="$root/build"
mkdir -p "$root"
cmake -S . -B "$build" -DBUILD_TESTING=OFF \
  -DVELORANTIS_CONFIG_DB="$root/velorantis-config.db" \
  -DVELORANTIS_STATUS_DB="$root/velorantis.db" >/dev/null
cmake --build "$build" -j "$(nproc)" >/dev/null

# Two simulated devices; the simulator keeps its state and call log here.
export VELORANTIS_SIM_DIR="$root/sim"
rm -rf "$VELORANTIS_SIM_DIR" "$root/velorantis.db"* "$root/velorantis-config.db"
mkdir -p "$VELORANTIS_SIM_DIR"
cat >"$VELORANTIS_SIM_DIR/devices" <<'DEVICES'
# MAC               TYPE
00:11:22:33:44:55   11
00:11:22:33:44:56   13
DEVICES
sqlite3 "$root/velorantis-config.db" <schema/config.sql

# The stand-in status daemon, writing a sample per device every second.
"$build/velorantis-statusd-sim" --db "$root/velorantis.db" --interval 1 &
daemon=$!
trap 'kill "$daemon" 2>/dev/null; wait "$daemon" 2>/dev/null' EXIT

request() {
  echo "\$ QUERY_STRING='$1' velorantis-helper"
  QUERY_STRING="$1" "$build/velorantis-helper"
  echo
}

mkdir -p "$root/captures"
request "command=list"
request "command=setconfig&mac=default&output=$root/captures&loop=1&count=0&size=100&duration=0&slicing=128&inline=0"
request "command=getconfig&mac=default"
request "command=start&mac=00:11:22:33:44:55&output=$root/captures&loop=1&count=0&size=100&duration=3600"
sleep 2.5  # a few samples, and the daemon sees the capture running
request "command=status&mac=00:11:22:33:44:55&from=0&limit=3"
request "command=stop&mac=00:11:22:33:44:55"
