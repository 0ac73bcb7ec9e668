#!/usr/bin/env bash
# Installs the Debian packages that the caller's work needs, when run as root
# and any of them is missing; without root it names the missing ones and
# fails.
#
# usage: install-deps.sh WORK...
#
#   demo     build the program and serve it with lighttpd (scripts/demo.sh)
#   tests    the native test suites, the web servers and the browser's
#   fuzz     clang's libFuzzer (scripts/fuzz.sh)
#   bench    the benchmarks' tools (bench/run.sh)
#   powerpc  the PowerPC cross build and its test suites under qemu-user
set -euo pipefail
[ $# -gt 0 ] || {
  sed -n '6,13s/^# \{0,1\}//p' "$0" >&2
  exit 2
}

# The page's plotting library comes through npm, like the browser tests'
# driver; machines that bring their own Node.js have it already.
npm=()
command -v npm >/dev/null || npm=(nodejs npm)
packages=(cmake g++ make libsqlite3-dev libpcap-dev)
for work in "$@"; do
  case $work in
    # capinfos (wireshark-common) for the capture file the demo's start writes;
    # openssl and lighttpd's TLS module for VELORANTIS_DEMO_HTTPS=1.
    demo) packages+=(sqlite3 lighttpd lighttpd-mod-openssl openssl curl wireshark-common
      "${npm[@]}") ;;
    tests)
      packages+=(tcpdump sqlite3 libgtest-dev nlohmann-json3-dev lighttpd lighttpd-mod-openssl openssl
        curl tshark valgrind apache2-bin nginx fcgiwrap busybox chromium strace python3-jsonschema logrotate
        "${npm[@]}")
      ;;
    fuzz) packages+=(clang) ;;
    # editcap, mergecap and capinfos (wireshark-common) and tcpdump for the
    # time-window and extraction benchmarks.
    bench) packages+=(tcpdump sqlite3 lighttpd curl valgrind hyperfine wrk libbenchmark-dev time
      wireshark-common) ;;
    powerpc)
      packages+=(sqlite3 g++-powerpc-linux-gnu qemu-user googletest nlohmann-json3-dev
        lighttpd curl tshark tcpdump python3-jsonschema)
      ;;
    *)
      echo "install-deps.sh: unknown work $work" >&2
      exit 2
      ;;
  esac
done

missing() {
  local package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
      echo "$package"
  done
}
# install [--no-install-recommends] PACKAGE...
install() {
  local flags=()
  [ "${1:-}" != --no-install-recommends ] || { flags=("$1"); shift; }
  [ $# -gt 0 ] || return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages: $* (run as root to install them)" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  [ -n "${updated:-}" ] || apt-get update -qq
  updated=1
  apt-get install -y -qq "${flags[@]}" "$@" >/dev/null
}

mapfile -t needed < <(missing "${packages[@]}")
install "${needed[@]}"
# hardening-check, which the install test runs, without the tools for
# Debian's package maintainers that its package recommends; Prometheus and
# promtool for the prometheus suite, without the node exporter it recommends.
if [[ " $* " == *" tests "* ]]; then
  mapfile -t needed < <(missing devscripts prometheus)
  install --no-install-recommends "${needed[@]}"
fi
# libFuzzer is in the runtime package of the clang that is installed.
if [[ " $* " == *" fuzz "* ]]; then
  major=$(clang -dumpversion | cut -d. -f1)
  mapfile -t needed < <(missing "libclang-rt-$major-dev")
  install "${needed[@]}"
fi
