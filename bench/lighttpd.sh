# lighttpd serving the program and the minimal C program side by side, for
# run.sh (sourced): the program at /cgi-bin/velorantis.cgi with the
# configuration of scripts/lighttpd-conf.sh, as the demo serves it, and the
# baseline at /minimal.cgi, on a free loopback port.

# start_lighttpd DIR HELPER MINIMAL: writes the configuration and the logs
# into DIR, starts the server and sets lighttpd_url.
start_lighttpd() {
  local dir=$1 helper=$2 minimal=$3 port
  mkdir -p "$dir/www"
  for _ in 1 2 3 4 5; do
    port=$((20000 + RANDOM % 20000))
    {
      bash "$(dirname "${BASH_SOURCE[0]}")/../scripts/lighttpd-conf.sh" --port "$port" \
        --cgi "$helper" --docroot "$dir/www" --logdir "$dir"
      cat <<CONF
alias.url += ("/minimal.cgi" => "$minimal")
\$HTTP["url"] == "/minimal.cgi" {
  cgi.assign = ("" => "")
}
CONF
    } >"$dir/lighttpd.conf"
    lighttpd -D -f "$dir/lighttpd.conf" &
    lighttpd_pid=$!
    lighttpd_url=http://127.0.0.1:$port
    for _ in $(seq 50); do
      if curl -sf -o /dev/null "$lighttpd_url/minimal.cgi"; then return 0; fi
      kill -0 "$lighttpd_pid" 2>/dev/null || break
      sleep 0.1
    done
    stop_lighttpd
  done
  echo "lighttpd did not start; see $dir/error.log" >&2
  return 1
}

stop_lighttpd() {
  if [ -n "${lighttpd_pid:-}" ]; then
    kill "$lighttpd_pid" 2>/dev/null || true
    wait "$lighttpd_pid" 2>/dev/null || true
    lighttpd_pid=
  fi
}
