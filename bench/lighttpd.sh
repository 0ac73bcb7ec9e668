# lighttpd serving the program and the minimal C program side by side, for
# run.sh (sourced): /velorantis.cgi and /minimal.cgi on a free loopback port.

# start_lighttpd DIR HELPER MINIMAL: writes the configuration and the logs
# into DIR, starts the server and sets lighttpd_url.
start_lighttpd() {
  local dir=$1 helper=$2 minimal=$3 port
  mkdir -p "$dir/www"
  for _ in 1 2 3 4 5; do
    port=$((20000 + RANDOM % 20000))
    cat >"$dir/lighttpd.conf" <<CONF
server.modules = ("mod_alias", "mod_cgi")
server.bind = "127.0.0.1"
server.port = $port
server.document-root = "$dir/www"
server.errorlog = "$dir/error.log"
alias.url = ("/velorantis.cgi" => "$helper", "/minimal.cgi" => "$minimal")
cgi.assign = ("" => "")
CONF
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
