#!/usr/bin/env bash
# Counts the instructions a whole process executes under valgrind's callgrind,
# dynamic loader and C library start-up included (deterministic, unlike time).
# Prints the count; with --annotate N, then the N functions of largest
# inclusive cost (callgrind_annotate), to see where a request's cost goes.
#
# usage: callgrind.sh [--annotate N] COMMAND [ARG]...
#   e.g. QUERY_STRING='command=getconfig&mac=default' \
#        bash bench/callgrind.sh --annotate 40 build/bench/velorantis-helper
set -euo pipefail
top=0
if [ "${1:-}" = --annotate ]; then
  top=$2
  shift 2
fi
[ $# -ge 1 ] || { sed -n '7,9s/^# //p' "$0" >&2; exit 2; }

out=$(mktemp)
trap 'rm -f "$out"' EXIT
valgrind --tool=callgrind --callgrind-out-file="$out" --log-file=/dev/null "$@" >/dev/null
awk '/^(summary|totals):/ { print $2; exit }' "$out"
if [ "$top" -gt 0 ]; then
  callgrind_annotate --inclusive=yes "$out" 2>/dev/null | awk -v top="$top" '
    /^-+$/ { rule++; next }
    rule >= 5 && NF && shown < top { print; shown++ }'
fi
