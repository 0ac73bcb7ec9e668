#!/usr/bin/env bash
# Serves the request program and the web page with one of the web servers
# configured by the scripts beside this one, in the foreground until SIGTERM.
# The tests, the demo and the benchmarks start their servers through here.
#
# usage: serve.sh SERVER DIR --port PORT --cgi PROGRAM --docroot DIR
#                 [--env NAME=VALUE]... [OPTION]...
#
#   SERVER  lighttpd, apache (httpd with mod_cgid), nginx (with fcgiwrap) or
#           busybox (BusyBox httpd)
#   DIR     the configuration, the logs, sockets and pid files go here
#   the rest: the options of SERVER's configuration script, but --logdir,
#           --socket and --home, which are set to DIR and below; like the
#           scripts, strict origin checks unless --origin-check basic
#
# nginx's fcgiwrap runs in this script's process group: start the script as
# a group of its own (setsid) and stop the group.
set -euo pipefail
[ $# -ge 2 ] || {
  sed -n '6,7s/^# //p' "$0" >&2
  exit 2
}
scripts=$(dirname "$0")
server=$1 dir=$2
shift 2
# Where Debian keeps the servers, also for accounts whose PATH lacks it.
PATH=$PATH:/usr/sbin
mkdir -p "$dir"

# BusyBox httpd hands the program its own environment, so the origin check's
# switch, which the other servers' configurations carry, is set here for it;
# empty is off.
port='' cgi='' env=(VELORANTIS_ORIGIN_CHECK=strict)
for ((i = 1; i < $#; i++)); do
  case ${!i} in
    --port) j=$((i + 1)) && port=${!j} ;;
    --cgi) j=$((i + 1)) && cgi=${!j} ;;
    --env) j=$((i + 1)) && env+=("${!j}") ;;
    --origin-check)
      j=$((i + 1))
      if [ "${!j}" = basic ]; then env[0]=VELORANTIS_ORIGIN_CHECK=; fi
      ;;
  esac
done

case $server in
  lighttpd)
    bash "$scripts/lighttpd-conf.sh" --logdir "$dir" "$@" >"$dir/lighttpd.conf"
    exec lighttpd -D -f "$dir/lighttpd.conf"
    ;;
  apache)
    bash "$scripts/apache-conf.sh" --logdir "$dir" "$@" >"$dir/apache2.conf"
    exec apache2 -DFOREGROUND -f "$dir/apache2.conf"
    ;;
  nginx)
    socket=$dir/fcgiwrap.sock
    # Started as root, nginx's workers would be "nobody", unable to reach
    # the socket of the fcgiwrap started here as root; --user overrides.
    user=()
    [ "$(id -u)" -ne 0 ] || user=(--user root)
    bash "$scripts/nginx-conf.sh" --logdir "$dir" --socket "$socket" "${user[@]}" "$@" \
      >"$dir/nginx.conf"
    rm -f "$socket"
    # Four workers: each runs one request at a time. -f sends the program's
    # standard error to nginx's error log.
    fcgiwrap -c 4 -f -p "$cgi" -s "unix:$socket" &
    for _ in $(seq 300); do
      [ -S "$socket" ] && break
      sleep 0.1
    done
    exec nginx -p "$dir" -e "$dir/error.log" -c "$dir/nginx.conf" -g 'daemon off;'
    ;;
  busybox)
    bash "$scripts/busybox-httpd-conf.sh" --logdir "$dir" --home "$dir/www" "$@" >"$dir/httpd.conf"
    # The program gets BusyBox httpd's own environment.
    exec env "${env[@]}" busybox httpd -f -p "127.0.0.1:$port" -h "$dir/www" -c "$dir/httpd.conf"
    ;;
  *)
    echo "serve.sh: unknown server $server" >&2
    exit 2
    ;;
esac
