#!/usr/bin/env bash
# Builds everything and runs every test: natively once in a plain build and
# once with AddressSanitizer and UndefinedBehaviorSanitizer, then each fuzz
# target for a minute (scripts/fuzz.sh), then a quick pass of the benchmarks
# (bench/run.sh --quick), then for 32-bit big-endian PowerPC under qemu-user. `test.sh native` or `test.sh powerpc` runs one target
# only. Database paths point into a folder per build under /tmp so the
# end-to-end tests can create them. In the slow builds (sanitizers, emulation) the heavy
# concurrency tests run fewer rounds (VELORANTIS_TEST_ROUNDS).
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:-all}
case "$target" in
  all | native | powerpc) ;;
  *) echo "usage: $0 [native|powerpc]" >&2; exit 2 ;;
esac
case "$target" in
  native) work=(tests bench) ;;
  powerpc) work=(powerpc) ;;
  all) work=(tests bench powerpc) ;;
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
# The folder of a build's databases, built into its programs. Not in the
# checkout: the servers suite's web servers run the program as www-data,
# which may not pass through the checkout's folders (root's home, a mktemp -d
# folder). One per build folder, so the paths built in stay the same.
databases_dir() {  # BUILD_DIR
  local dir
  dir=/tmp/velorantis-tests-$(id -u)-$(printf '%s' "$PWD/$1" | sha256sum | cut -c1-16)
  mkdir -p "$dir"
  if [ -L "$dir" ] || [ ! -O "$dir" ]; then
    echo "$dir is not this account's own folder" >&2
    exit 1
  fi
  chmod 755 "$dir"
  echo "$dir/e2e"
}
# Every suite is built and run: one that this machine cannot run fails the
# configuration (VELORANTIS_REQUIRE_ALL_SUITES).
run_suite() {
  local dir=$1
  shift
  local start=$SECONDS databases
  databases=$(databases_dir "$dir")
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELORANTIS_REQUIRE_ALL_SUITES=ON \
    -DVELORANTIS_CONFIG_DB="$databases/velorantis-config.db" \
    -DVELORANTIS_STATUS_DB="$databases/velorantis.db" "$@" >/dev/null
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
if [ "$target" != powerpc ]; then
  start=$SECONDS
  bash bench/run.sh --quick
  echo "benchmarks' quick pass in $((SECONDS - start)) s"
fi
if [ "$target" != native ]; then
  VELORANTIS_TEST_ROUNDS=$slow_rounds \
    run_suite build/powerpc -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchains/powerpc-linux-gnu.cmake"
fi
