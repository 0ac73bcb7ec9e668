#!/usr/bin/env bash
# Builds everything and runs every test: natively once in a plain build and
# once with AddressSanitizer and UndefinedBehaviorSanitizer, then each fuzz
# target for a minute (scripts/fuzz.sh), then for 32-bit big-endian PowerPC
# under qemu-user. `test.sh native` or `test.sh powerpc` runs one target
# only. Database paths point into the build trees so the end-to-end tests can
# create them. In the slow builds (sanitizers, emulation) the heavy
# concurrency tests run fewer rounds (VELORANTIS_TEST_ROUNDS).
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:-all}
case "$target" in
  all | native | powerpc) ;;
  *) echo "usage: $0 [native|powerpc]" >&2; exit 2 ;;
esac
case "$target" in
  native) work=(tests) ;;
  powerpc) work=(powerpc) ;;
  all) work=(tests powerpc) ;;
esac
[ "$target" = powerpc ] || [ "${VELORANTIS_SKIP_FUZZ:-0}" = 1 ] || work+=(fuzz)
bash scripts/install-deps.sh "${work[@]}"
if [ "$target" != powerpc ]; then
  # The web page's plotting library and the browser tests' driver, as their
  # package-lock.json files pin them.
  for dir in web tests/browser; do
    (cd "$dir" && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
  done
fi

jobs=$(nproc)
slow_rounds=${VELORANTIS_TEST_ROUNDS:-15}
run_suite() {
  local dir=$1
  shift
  local start=$SECONDS
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVELORANTIS_CONFIG_DB="$PWD/$dir/e2e/velorantis-config.db" \
    -DVELORANTIS_STATUS_DB="$PWD/$dir/e2e/velorantis.db" "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  (cd "$dir" && ctest -j "$jobs" --output-on-failure)
  echo "$dir: built and tested in $((SECONDS - start)) s"
}

if [ "$target" != powerpc ]; then run_suite build/test; fi
if [ "$target" != powerpc ] && [ "${VELORANTIS_SKIP_SANITIZERS:-0}" != 1 ]; then
  ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0" \
    UBSAN_OPTIONS=print_stacktrace=1 VELORANTIS_TEST_ROUNDS=$slow_rounds \
    run_suite build/sanitize -DVELORANTIS_SANITIZE=address,undefined
fi
if [ "$target" != powerpc ] && [ "${VELORANTIS_SKIP_FUZZ:-0}" != 1 ]; then
  bash scripts/fuzz.sh
fi
if [ "$target" != native ]; then
  VELORANTIS_TEST_ROUNDS=$slow_rounds \
    run_suite build/powerpc -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchains/powerpc-linux-gnu.cmake"
fi
