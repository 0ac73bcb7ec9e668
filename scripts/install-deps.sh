#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, when run as
# root and any of them is missing. Used by demo.sh and test.sh; test.sh passes
# its target, and all targets but native need the PowerPC cross build's too.
# bench/run.sh passes "bench" for the benchmarks' tools.
set -euo pipefail

packages=(cmake g++ make libsqlite3-dev sqlite3 libgtest-dev nlohmann-json3-dev
  lighttpd curl tshark)
case "${1:-native}" in
  native) ;;
  bench) packages+=(valgrind hyperfine wrk libbenchmark-dev time) ;;
  *) packages+=(g++-powerpc-linux-gnu qemu-user googletest) ;;
esac
# The fuzz targets (clang's libFuzzer) and the memcheck tests, both native.
[ "${1:-native}" = powerpc ] || packages+=(clang libclang-rt-14-dev valgrind)
# Debian's Chromium, which the browser tests drive.
packages+=(chromium)
# hardening-check, which the install test runs; installed without the tools for
# Debian's package maintainers that its package recommends.
bare_packages=(devscripts)

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}
missing=() missing_bare=()
for package in "${packages[@]}"; do installed "$package" || missing+=("$package"); done
for package in "${bare_packages[@]}"; do installed "$package" || missing_bare+=("$package"); done
# The web page's packages come through npm; machines that bring their own
# Node.js have it already.
command -v npm >/dev/null || missing+=(nodejs npm)
[ ${#missing[@]} -eq 0 ] && [ ${#missing_bare[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "missing packages: ${missing[*]} ${missing_bare[*]} (run as root to install them)" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
[ ${#missing[@]} -eq 0 ] || apt-get install -y -qq "${missing[@]}" >/dev/null
[ ${#missing_bare[@]} -eq 0 ] ||
  apt-get install -y -qq --no-install-recommends "${missing_bare[@]}" >/dev/null
