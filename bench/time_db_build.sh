#!/usr/bin/env bash
# Times whole runs of zorvane-db on the shipped table: build, verify and
# export, the median of several runs each, and the size of the file built.
#
#   bench/time_db_build.sh [BUILD_DIR] [RUNS]     (defaults: build, 5)
#
# Goals: a build well under 3 s; a file of at most 9 MB.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
runs=${2:-5}
tool=$build/bin/zorvane-db
table=$root/data/number_blocks.tsv
[[ -x $tool ]] || { echo "no $tool: build first" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Median wall time in seconds of RUNS runs of the command.
median() {
  local times=() start end
  for ((i = 0; i < runs; i++)); do
    start=$EPOCHREALTIME
    "$@" >/dev/null
    end=$EPOCHREALTIME
    times+=("$(awk -v a="$start" -v b="$end" 'BEGIN {printf "%.3f", b - a}')")
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'
}

db=$work/Mobile_DB.dat
build_s=$(median "$tool" build --from "$table" --out "$db" --data-version 2025-02-01)
verify_s=$(median "$tool" verify "$db")
export_s=$(median "$tool" export "$db" --out "$work/export.tsv")
size=$(stat -c %s "$db")
cmp -s "$work/export.tsv" "$table" && roundtrip=identical || roundtrip=DIFFERENT

printf 'rows:          %s\n' "$(($(wc -l <"$table") - 1))"
printf 'build:         %s s (median of %d)\n' "$build_s" "$runs"
printf 'verify:        %s s\n' "$verify_s"
printf 'export:        %s s (table %s to the input)\n' "$export_s" "$roundtrip"
printf 'file size:     %s bytes (%s MB)\n' "$size" "$(awk -v s="$size" 'BEGIN {printf "%.2f", s / 1e6}')"

status=0
if awk -v s="$build_s" 'BEGIN {exit !(s >= 3)}'; then echo "FAIL: build takes 3 s or more" >&2; status=1; fi
if ((size > 9000000)); then echo "FAIL: file larger than 9 MB" >&2; status=1; fi
[[ $roundtrip == identical ]] || { echo "FAIL: export differs from the input" >&2; status=1; }
exit $status
