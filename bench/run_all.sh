#!/usr/bin/env bash
# Every benchmark, one after another, against one build. Each script checks
# its own goals; this one fails when any of them does.
#
#   bench/run_all.sh [BUILD_DIR]      (default: build)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(realpath "${1:-$here/../build}")
status=0
run() {
  printf '\n== %s\n' "$*"
  "$@" || status=1
}
run "$build/bin/bench_lookup" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
run "$build/bin/bench_ado" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
run "$here/time_db_build.sh" "$build"
run "$here/window_startup.sh" "$build"
run "$here/batch.sh" "$build"
exit $status
