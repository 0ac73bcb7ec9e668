#!/usr/bin/env bash
# Builds the system and serves it as the appliance does: lighttpd on
# 127.0.0.1 runs the request program as a CGI at /cgi-bin/velorantis.cgi,
# against two simulated capture devices, a configuration database made from
# the shipped schema and a status database kept by the stand-in status
# daemon. Port 8080, or $VELORANTIS_DEMO_PORT. Everything lives under
# demo-run/ in the source tree. Stays in the foreground until Ctrl-C or
# SIGTERM, then stops everything it started.
# The reference web page is served at /, as cmake --install lays it out.
# Start, stop and setconfig need proof that they come from the page, as in
# every shipped configuration; VELORANTIS_DEMO_ORIGIN_CHECK=basic refuses only
# what browsers mark as another site's instead (docs/security.md).
# VELORANTIS_DEMO_HTTPS=1 serves HTTPS on port 8443 (or
# $VELORANTIS_DEMO_TLS_PORT) with a self-signed certificate made at each start
# (demo-run/tls/), the plain port sending every request there.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh demo

port=${VELORANTIS_DEMO_PORT:-8080}
origin_check=${VELORANTIS_DEMO_ORIGIN_CHECK:-strict}
https=${VELORANTIS_DEMO_HTTPS:-0}
tls_port=${VELORANTIS_DEMO_TLS_PORT:-8443}
root="$PWD/demo-run"
build="$root/build"
pids="$root/pids"
mkdir -p "$root"

# A capture runs on in a writer process of the simulated device until its
# marker goes; this waits for each writer to let go of its lock.
sim="$root/sim"
end_captures() {
  local writer
  rm -f "$sim"/*.capture
  for writer in "$sim"/*.writer; do
    [ -e "$writer" ] && flock -w 10 -s "$writer" true
  done
  return 0
}

# A run killed outright (SIGKILL) cannot stop its server, daemon and
# captures; the next run stops them, the first two by the ids that run
# recorded, if they are still those programs.
stop_left_behind() {
  end_captures
  [ -f "$pids" ] || return 0
  local pid
  for pid in $(cat "$pids"); do
    case "$(readlink "/proc/$pid/exe" 2>/dev/null)" in
      */lighttpd | */velorantis-statusd-sim)
        kill -TERM "$pid" 2>/dev/null || true
        while kill -0 "$pid" 2>/dev/null; do sleep 0.1; done
        ;;
    esac
  done
  rm -f "$pids"
}
stop_left_behind

# The page's plotting library, as web/package-lock.json pins it; the build
# installs it beside the page.
(cd web && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
cmake -S . -B "$build" -DBUILD_TESTING=OFF \
  -DVELORANTIS_CONFIG_DB="$root/velorantis-config.db" \
  -DVELORANTIS_STATUS_DB="$root/velorantis.db" >/dev/null
cmake --build "$build" -j "$(nproc)" >/dev/null
rm -rf "$root/installed"
cmake --install "$build" --prefix "$root/installed" --component web >/dev/null
# The alert rules, where a Prometheus for the demo loads them
# (docs/monitoring.md).
cmake --install "$build" --prefix "$root/installed" --component monitoring >/dev/null

# Two simulated devices; the simulator keeps its state and call log here.
rm -rf "$sim" "$root/velorantis.db"* "$root/velorantis-config.db" "$root"/*.log
mkdir -p "$sim" "$root/captures"
cat >"$sim/devices" <<'DEVICES'
# MAC               TYPE
00:11:22:33:44:55   11
00:11:22:33:44:56   13
DEVICES
# The schema switches the file to its write-ahead log and prints the mode.
sqlite3 "$root/velorantis-config.db" <schema/config.sql >/dev/null

server='' daemon=''
stop_all() {
  trap - INT TERM EXIT
  # lighttpd leads its own process group, which its CGI children share.
  if [ -n "$server" ]; then kill -TERM -- "-$server" 2>/dev/null || true; fi
  if [ -n "$daemon" ]; then kill -TERM "$daemon" 2>/dev/null || true; fi
  wait
  if [ -n "$server" ]; then
    while kill -0 -- "-$server" 2>/dev/null; do sleep 0.1; done
  fi
  end_captures
  rm -f "$pids"
}
trap 'stop_all; exit 130' INT
trap 'stop_all; exit 143' TERM
trap stop_all EXIT

# The stand-in status daemon, writing a sample per device every second.
VELORANTIS_SIM_DIR="$sim" "$build/velorantis-statusd-sim" --db "$root/velorantis.db" --interval 1 &
daemon=$!

base="http://127.0.0.1:$port"
ports=("$port VELORANTIS_DEMO_PORT")
tls=() cacert=() curl_cacert=''
if [ "$https" = 1 ]; then
  # A certificate for 127.0.0.1 that curl's --cacert trusts, new each start.
  mkdir -p "$root/tls"
  openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 30 \
    -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1,DNS:localhost \
    -addext basicConstraints=critical,CA:FALSE \
    -keyout "$root/tls/velorantis.key" -out "$root/tls/velorantis.pem" 2>/dev/null
  base="https://127.0.0.1:$tls_port"
  ports+=("$tls_port VELORANTIS_DEMO_TLS_PORT")
  tls=(--tls-port "$tls_port" --tls-cert "$root/tls/velorantis.pem"
    --tls-key "$root/tls/velorantis.key")
  cacert=(--cacert "$root/tls/velorantis.pem")
  curl_cacert=" --cacert '$root/tls/velorantis.pem'"
fi
url="$base/cgi-bin/velorantis.cgi"
for taken in "${ports[@]}"; do
  if curl -s -o /dev/null "http://127.0.0.1:${taken% *}/"; then
    echo "Port ${taken% *} is taken: another server answers there. Stop it, or choose" \
      "another port with ${taken#* }." >&2
    exit 1
  fi
done

# The web page at /, the program at /cgi-bin/velorantis.cgi.
setsid bash scripts/serve.sh lighttpd "$root" --port "$port" --cgi "$build/velorantis-helper" \
  --docroot "$root/installed/share/velorantis/www" --env VELORANTIS_SIM_DIR="$sim" \
  --origin-check "$origin_check" "${tls[@]}" &
server=$!
echo "$server $daemon" >"$pids"

# Ready when this demo's program answers: its list names the first
# simulated device.
until curl -sf "${cacert[@]}" "$url?command=list" 2>/dev/null | grep -q '"00:11:22:33:44:55"'; do
  if ! kill -0 "$server" 2>/dev/null; then
    echo "lighttpd did not start (is port ${ports[*]% *} taken? set ${ports[*]#* }):" >&2
    cat "$root/error.log" >&2
    exit 1
  fi
  sleep 0.1
done

captures=${root// /%20}/captures
curl="curl$curl_cacert -H 'X-Requested-With: curl'"
cat <<EOF
Web page: $base/
Serving $url
EOF
if [ "$https" = 1 ]; then
  cat <<EOF
with the self-signed certificate demo-run/tls/velorantis.pem, which browsers
warn about; http://127.0.0.1:$port/ sends every request there.
EOF
fi
cat <<EOF
(lighttpd's log: demo-run/error.log, the program's standard error: demo-run/cgi-stderr.log)

$curl '$url?command=list'
$curl '$url?command=setconfig&mac=default&output=$captures&loop=0&count=0&size=100&duration=0&slicing=128&inline=0'
$curl '$url?command=getconfig&mac=default'
$curl '$url?command=start&mac=00:11:22:33:44:55&output=$captures&loop=0&count=1000&size=100&duration=3600'
$curl '$url?command=status&mac=00:11:22:33:44:55&from=0&limit=3'
$curl '$url?command=stop&mac=00:11:22:33:44:55'
capinfos '$root/captures/Velorantis.pcapng'

Origin checks: $origin_check. Under strict, every command that changes
something (start, stop, setconfig, setretention, prune, delete, pin) needs the
X-Requested-With header; VELORANTIS_DEMO_ORIGIN_CHECK=basic turns that off.
The setconfig line stores the configuration the page starts with (loop off:
a capture ends at its size rather than starting its file over). The start
line captures 1000 frames: the simulated device writes about 1000 frames a
second into the capture file until the start's count, size or duration ends
the capture, or a stop.
Ctrl-C stops the server, the status daemon and any capture.
EOF
wait "$server"
