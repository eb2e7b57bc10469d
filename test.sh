#!/usr/bin/env bash
# Installs what is missing, builds Zorvane and passes every test.
#
#   ./test.sh              build and run the tests
#   ./test.sh --sanitize   the same with AddressSanitizer and UBSan (build-asan/)
#   ./test.sh --bench      also run the benchmarks
#   ./test.sh --fuzz [SECONDS]  build the libFuzzer targets (build-fuzz/) and run
#                          each for SECONDS (default 30); see fuzz/run.sh
set -euo pipefail
source "$(dirname "$0")/scripts/common.sh"

mode=normal
case "${1:-}" in
  "") ;;
  --sanitize) mode=sanitize ;;
  --bench) mode=bench ;;
  --fuzz)
    install_missing $PACKAGES_BUILD $PACKAGES_FUZZ
    exec "$ZORVANE_ROOT/fuzz/run.sh" "${2:-30}"
    ;;
  -h|--help) sed -n '2,8p' "$0"; exit 0 ;;
  *) say "test.sh: unknown option $1"; exit 2 ;;
esac

install_missing $PACKAGES_BUILD $PACKAGES_TEST

case $mode in
  normal|bench)
    build="$ZORVANE_ROOT/build"
    configure_and_build "$build" -DZORVANE_BUILD_TESTS=ON -DZORVANE_BUILD_BENCH=ON
    ;;
  sanitize)
    build="$ZORVANE_ROOT/build-asan"
    configure_and_build "$build" -DZORVANE_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DZORVANE_BUILD_BENCH=OFF
    ;;
esac

export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"

if [ $mode = bench ]; then
  install_missing $PACKAGES_BENCH
  "$ZORVANE_ROOT/bench/run_all.sh" "$build"
fi
