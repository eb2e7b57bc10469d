#!/usr/bin/env bash
# Installs what is missing, builds Zorvane and passes every test.
#
#   ./test.sh              build and run the tests
#   ./test.sh --sanitize   the same with AddressSanitizer, UBSan and LeakSanitizer
#                          (build-asan/); any finding fails the test that made it
#   ./test.sh --bench      also run the benchmarks
#   ./test.sh --fuzz [SECONDS]  build the libFuzzer targets (build-fuzz/) and run
#                          each for SECONDS (default 30); see fuzz/run.sh
#   ./test.sh --lint       clang-tidy and cppcheck over the code; see scripts/lint.sh
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
  --lint)
    # Every source is checked, the comparison benchmark's too: its library
    # comes with the benchmarks' packages.
    install_missing $PACKAGES_BUILD $PACKAGES_TEST $PACKAGES_LINT $PACKAGES_FUZZ $PACKAGES_BENCH
    exec "$ZORVANE_ROOT/scripts/lint.sh"
    ;;
  -h|--help) sed -n '2,10p' "$0"; exit 0 ;;
  *) say "test.sh: unknown option $1"; exit 2 ;;
esac

install_missing $PACKAGES_BUILD $PACKAGES_TEST
# Before configuring: the comparison benchmark is built only if its library is there.
if [ $mode = bench ]; then install_missing $PACKAGES_BENCH; fi

case $mode in
  normal|bench)
    build="$ZORVANE_ROOT/build"
    configure_and_build "$build" -DZORVANE_BUILD_TESTS=ON -DZORVANE_BUILD_BENCH=ON
    ;;
  sanitize)
    build="$ZORVANE_ROOT/build-asan"
    configure_and_build "$build" -DZORVANE_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DZORVANE_BUILD_BENCH=OFF
    # Every finding ends the program that made it with a failure: memory
    # errors (also use after return and across static initialisation),
    # undefined behaviour, and leaks at exit. The leak suppressions name only
    # the system's own libraries, each with its reason.
    export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1"
    ASAN_OPTIONS+=":check_initialization_order=1:strict_init_order=1"
    export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
    export LSAN_OPTIONS="suppressions=$ZORVANE_ROOT/tests/sanitizer/lsan.supp"
    ;;
esac

export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"

if [ $mode = bench ]; then
  "$ZORVANE_ROOT/bench/run_all.sh" "$build"
fi
