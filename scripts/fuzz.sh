#!/usr/bin/env bash
# Builds the fuzz targets (fuzz/) with clang's libFuzzer, AddressSanitizer
# and UndefinedBehaviorSanitizer, then runs each for VELORANTIS_FUZZ_SECONDS
# seconds (default 60) from its seeds and the shared dictionary. Inputs that
# find new paths collect in build/fuzz/corpus; an input that crashes or fails
# a check is written to build/fuzz/artifacts and fails the script.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh fuzz

dir=build/fuzz
CC=clang CXX=clang++ cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVELORANTIS_FUZZ=ON -DVELORANTIS_SANITIZE=address,undefined \
  -DVELORANTIS_CONFIG_DB="$PWD/$dir/db/velorantis-config.db" \
  -DVELORANTIS_STATUS_DB="$PWD/$dir/db/velorantis.db" >/dev/null
cmake --build "$dir" -j "$(nproc)" --target fuzz_query_decoding fuzz_request fuzz_pcapng fuzz_merge

# One process serves many requests, and the program keeps its request
# variables until it exits: leaks are looked for once, at the end, past the
# suppressions of those.
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1
mkdir -p "$dir/artifacts"
for target in query_decoding request pcapng merge; do
  mkdir -p "$dir/corpus/$target"
  log="$dir/$target.log"
  # The query targets share a dictionary; the capture file target has none.
  dict=()
  [ "$target" = pcapng ] || [ "$target" = merge ] || dict=(-dict=fuzz/query.dict)
  if ! "$dir/fuzz/fuzz_$target" -max_total_time="${VELORANTIS_FUZZ_SECONDS:-60}" \
    "${dict[@]}" -detect_leaks=0 -print_final_stats=1 \
    -artifact_prefix="$dir/artifacts/$target-" "$dir/corpus/$target" "fuzz/${target}_seeds" \
    2>"$log"; then
    tail -n 60 "$log"
    echo "fuzz_$target failed; the input is in $dir/artifacts" >&2
    exit 1
  fi
  echo "fuzz_$target: $(grep -E '^Done [0-9]+ runs' "$log")"
done
