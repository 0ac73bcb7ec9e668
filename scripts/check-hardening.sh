#!/usr/bin/env bash
# Checks a built or installed program for the protections of
# cmake/Hardening.cmake with Debian's hardening-check (package devscripts),
# and fails when one is missing or cannot be found (docs/security.md).
#
# usage: check-hardening.sh PROGRAM...
set -euo pipefail
[ $# -ge 1 ] || { sed -n '6s/^# //p' "$0" >&2; exit 2; }

# Control-flow protection is not asked for: Debian 12's C start-up files carry
# no CET marking, so no program linked there is marked, whatever its own code
# was compiled with. A protection whose traces it cannot find (stack clash)
# hardening-check reports as "unknown" without failing.
report=$(hardening-check --nocfprotection "$@") || { echo "$report" >&2; exit 1; }
if grep -q ': unknown' <<<"$report"; then
  echo "$report" >&2
  exit 1
fi
