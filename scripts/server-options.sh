# Sourced by the web servers' configuration scripts (*-conf.sh): reads the
# options they share, and those of `own_options` (the script's own, each
# taking a value, e.g. "--socket"; those also in `optional_options` may be left
# out), into lower-case variables of the option's
# name: port, cgi, docroot, logdir, user, socket, home, auth, and env, an array of
# NAME=VALUE. --lenient, where own_options names it, sets lenient=1. A
# missing or unknown option prints the calling script's usage lines (its
# header from the line "# usage:" up to the next blank comment line) and
# exits 2.
# --origin-check strict (the default) adds VELORANTIS_ORIGIN_CHECK=strict to
# env, so the program asks every request that changes the device for proof
# that no other site's page made it; --origin-check basic leaves it out, for
# a host web interface that cannot send the X-Requested-With header.
# --auth USERFILE (optional): the server asks for a user and password (HTTP
# basic authentication) before it serves the page or the program, and passes
# the user on as REMOTE_USER, which the program's roles file gives a role.
# USERFILE holds one "NAME:HASH" a line, HASH a crypt(3) hash such as
# SHA-512's "$6$..." (openssl passwd -6), which all four servers read.
# --tls-port PORT --tls-cert FILE --tls-key FILE (optional, all three or
# none): the page and the program are served over TLS on PORT, with the
# certificate (PEM, the server's own first, then any intermediates) and its
# private key; the plain --port then answers every request with a 301 to
# the same path and query on https, before any login is asked for, and the
# TLS answers carry Strict-Transport-Security. Read into tls_port, tls_cert,
# tls_key; https_port is ":PORT" as an https URL carries it (empty for 443).

usage() {
  sed -n '/^# usage:/,/^#$/{/^#$/q;s/^# \{0,1\}//p}' "$0" >&2
  exit 2
}

port='' cgi='' docroot='' logdir='' user='' socket='' home='' auth='' lenient=0
tls_port='' tls_cert='' tls_key='' origin_check=strict env=()
shared_options=(--port --cgi --docroot --logdir --env --user --origin-check --auth --tls-port
  --tls-cert --tls-key)
while [ $# -gt 0 ]; do
  case " ${shared_options[*]} ${own_options:-} " in
    *" $1 "*) ;;
    *) usage ;;
  esac
  if [ "$1" = --lenient ]; then
    lenient=1
    shift
    continue
  fi
  [ $# -ge 2 ] || usage
  case $1 in
    --env) env+=("$2") ;;
    --origin-check) origin_check=$2 ;;
    *)
      name=${1#--}
      printf -v "${name//-/_}" '%s' "$2"
      ;;
  esac
  shift 2
done
[ -n "$port" ] && [ -n "$cgi" ] && [ -n "$docroot" ] && [ -n "$logdir" ] || usage
case $port$tls_port in *[!0-9]*) usage ;; esac
if [ -n "$tls_port$tls_cert$tls_key" ]; then
  # A server without TLS sets `no_tls` to say so, and what to do instead.
  if [ -n "${no_tls:-}" ]; then
    echo "${0##*/}: $no_tls" >&2
    exit 2
  fi
  [ -n "$tls_port" ] && [ -n "$tls_cert" ] && [ -n "$tls_key" ] && [ "$tls_port" != "$port" ] ||
    usage
fi
https_port=:$tls_port
[ "$tls_port" != 443 ] || https_port=''
# What the TLS answers carry: browsers then use https only for a year.
hsts=max-age=31536000
case $origin_check in
  strict) env+=(VELORANTIS_ORIGIN_CHECK=strict) ;;
  basic) ;;
  *) usage ;;
esac
# The script's own options are required too, but for the flag --lenient and
# those of `optional_options`.
for option in ${own_options:-}; do
  name=${option#--}
  case " --lenient ${optional_options:-} " in *" $option "*) continue ;; esac
  [ -n "${!name}" ] || usage
done

# A double-quoted string with its backslashes and double quotes escaped, as
# lighttpd, Apache httpd and nginx all read one.
quote() {
  local text=${1//\\/\\\\}
  printf '"%s"' "${text//\"/\\\"}"
}
