#!/usr/bin/env bash
# Builds the libFuzzer targets in build-fuzz/ and runs each for SECONDS
# (default 30), one after another, from its seed corpus in fuzz/corpus/.
# New inputs go to a scratch corpus, build-fuzz/corpus/TARGET, never to the
# committed one. Prints each target's executions and executions per second;
# fails when a target finds a crash, a leak, a timeout or an out-of-memory,
# and keeps that input in build-fuzz/crashes/TARGET/.
#
#   fuzz/run.sh [SECONDS [TARGET...]]
#
# Run by ./test.sh --fuzz, which installs clang and libclang-rt-14-dev first.
set -euo pipefail
source "$(dirname "$0")/../scripts/common.sh"

seconds=${1:-30}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] &&
  targets=(decompose connection_text database_open batch_line phone_dat tsv_reader)
case $seconds in
  '' | *[!0-9]*) say "fuzz/run.sh: SECONDS must be a whole number, not '$seconds'"; exit 2 ;;
esac

build="$ZORVANE_ROOT/build-fuzz"
fuzz="$ZORVANE_ROOT/fuzz"
# Everything instrumented for coverage and the sanitizers; the targets add
# the fuzzer's main (fuzz/CMakeLists.txt). Any finding of UBSan ends the run.
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all"
flags+=" -fno-omit-frame-pointer -fsanitize-coverage-ignorelist=$fuzz/coverage_ignore.txt"
CC=clang CXX=clang++ configure_and_build "$build" -DZORVANE_FUZZ=ON -DZORVANE_BUILD_APP=OFF \
  -DZORVANE_BUILD_TESTS=OFF -DZORVANE_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  "-DCMAKE_C_FLAGS=$flags" "-DCMAKE_CXX_FLAGS=$flags"

failed=()
printf '%-16s %12s %10s  %s\n' target executions execs/s result
for t in "${targets[@]}"; do
  binary="$build/fuzz/fuzz_$t"
  [ -x "$binary" ] || { say "fuzz/run.sh: no target $t"; exit 2; }
  scratch="$build/corpus/$t"
  crashes="$build/crashes/$t"
  log="$build/logs/$t.log"
  mkdir -p "$scratch" "$crashes" "$(dirname "$log")"
  options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
    -artifact_prefix="$crashes/")
  [ -f "$fuzz/dict/$t.dict" ] && options+=(-dict="$fuzz/dict/$t.dict")
  # The first folder receives what the fuzzer finds; the committed seeds are
  # only read.
  status=0
  "$binary" "${options[@]}" "$scratch" "$fuzz/corpus/$t" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
  result=ok
  if [ $status -ne 0 ]; then
    artifact=$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log" | tail -n 1)
    result="FAILED (exit $status): ${artifact:-see $log}"
    failed+=("$t")
  fi
  printf '%-16s %12s %10s  %s\n' "$t" "${runs:-?}" "${speed:-?}" "$result"
done

if [ ${#failed[@]} -ne 0 ]; then
  say "fuzz: failed: ${failed[*]} (logs in $build/logs/)"
  exit 1
fi
