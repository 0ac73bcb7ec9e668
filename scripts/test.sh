#!/usr/bin/env bash
# Builds everything and runs every test: once in a plain build, once with
# AddressSanitizer and UndefinedBehaviorSanitizer. Database paths point into
# the build trees so the end-to-end tests can create them.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
# The web page's plotting library and the browser tests' driver, as their
# package-lock.json files pin them.
for dir in web tests/browser; do
  (cd "$dir" && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
done

jobs=$(nproc)
run_suite() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVELORANTIS_CONFIG_DB="$PWD/$dir/e2e/velorantis-config.db" \
    -DVELORANTIS_STATUS_DB="$PWD/$dir/e2e/velorantis.db" "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  (cd "$dir" && ctest -j "$jobs" --output-on-failure)
}

run_suite build/test
if [ "${VELORANTIS_SKIP_SANITIZERS:-0}" != 1 ]; then
  ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0" \
    UBSAN_OPTIONS=print_stacktrace=1 \
    run_suite build/sanitize -DVELORANTIS_SANITIZE=address,undefined
fi
