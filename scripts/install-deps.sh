#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, when run as
# root and any of them is missing. Used by demo.sh and test.sh.
set -euo pipefail

packages=(cmake g++ make libsqlite3-dev sqlite3 libgtest-dev nlohmann-json3-dev)
# Further packages a caller needs besides these (bench/run.sh names its tools).
packages+=("$@")

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "missing packages: ${missing[*]} (run as root to install them)" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq "${missing[@]}" >/dev/null
