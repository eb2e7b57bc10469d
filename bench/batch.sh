#!/usr/bin/env bash
# Times zorvane-lookup --batch side by side with the floor (wc -l on the same
# input) and Google's libphonenumber geocoder (bench_phonenumber), on one
# generated input: 1,000,000 numbers, 90% in known blocks, fixed seed, from a
# file to a file. Runs are interleaved (batch, wc -l, libphonenumber, start-up,
# then again); each figure is the median of its runs.
#
#   bench/batch.sh [BUILD_DIR] [RUNS]        (defaults: build, 7)
#
# Environment: BENCH_DIR, the folder for the input and the outputs (default:
# a new folder under TMPDIR); PHONENUMBER_RUNS, the runs of the slow
# libphonenumber program (default 3).
#
# Each run is timed by hyperfine, which starts the program without a shell,
# after one untimed run of the same command: this machine reclaims the page
# cache and memory of idle programs within seconds, and a libphonenumber run
# leaves the others idle that long.
#
# Reported: numbers/s of each, the ratios, the start-up time (a one-line
# input), the lookups alone (the whole run less the start-up), and the peak
# memory. Start-up has a goal of its own, so the rate goals are checked on the
# lookups alone. Goals (exit 1 when one is missed):
#   batch tsv lookups >= 25 million numbers/s
#   batch tsv lookups within 4x the time of wc -l on the input
#   batch whole run >= 100x as fast as the libphonenumber run
#   start-up including loading the data < 20 ms
#   peak memory < 64 MB
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
runs=${2:-7}
phonenumber_runs=${PHONENUMBER_RUNS:-3}
bin=$build/bin
lookup=$bin/zorvane-lookup
phonenumber=$bin/bench_phonenumber
for tool in "$lookup" "$bin/bench_batch_input"; do
  [[ -x $tool ]] || { echo "no $tool: build first" >&2; exit 1; }
done
[[ -x $phonenumber ]] || { echo "no $phonenumber: install libphonenumber-dev, rebuild" >&2; exit 1; }
command -v hyperfine >/dev/null || { echo "no hyperfine (Debian package hyperfine)" >&2; exit 1; }
[[ -x /usr/bin/time ]] || { echo "no /usr/bin/time (Debian package time)" >&2; exit 1; }

if [[ -n ${BENCH_DIR:-} ]]; then
  work=$BENCH_DIR
  mkdir -p "$work"
else
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
fi

count=1000000
input=$work/numbers.txt
one=$work/one.txt
"$bin/bench_batch_input" "$root/data/number_blocks.tsv" $count 90 20250201 >"$input"
head -n 1 "$input" >"$one"

# Seconds of one run: time_run WARMUPS OUTPUT COMMAND...
time_run() {
  local warmups=$1 out=$2
  shift 2
  hyperfine --style none --shell none --warmup "$warmups" --runs 1 --output "$out" \
    --export-json "$work/run.json" -- "$(printf '%q ' "$@")" >/dev/null
  sed -n 's/^ *"mean": *\([0-9.e+-]*\),*$/\1/p' "$work/run.json" | head -n 1
}

median() { sort -g | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }

batch=(); floor=(); startup=(); phone=()
for ((i = 0; i < runs; i++)); do
  batch+=("$(time_run 1 "$work/batch.tsv" "$lookup" --batch --quiet --input "$input")")
  floor+=("$(time_run 1 "$work/wc.txt" wc -l "$input")")
  if ((i < phonenumber_runs)); then
    phone+=("$(time_run 0 "$work/phone.tsv" "$phonenumber" "$input")")
  fi
  startup+=("$(time_run 1 "$work/one.tsv" "$lookup" --batch --quiet --input "$one")")
done
"$lookup" --batch --quiet --input "$input" >/dev/null  # warm, as the timed runs
memory_kb=$(/usr/bin/time -f %M "$lookup" --batch --quiet --input "$input" 2>&1 >/dev/null |
  tail -n 1)

# The outputs must be whole: a header and a record per number.
[[ $(wc -l <"$work/batch.tsv") -eq $((count + 1)) ]] || { echo "batch output incomplete" >&2; exit 1; }
[[ $(wc -l <"$work/phone.tsv") -eq $count ]] || { echo "libphonenumber output incomplete" >&2; exit 1; }

t_batch=$(printf '%s\n' "${batch[@]}" | median)
t_floor=$(printf '%s\n' "${floor[@]}" | median)
t_phone=$(printf '%s\n' "${phone[@]}" | median)
t_startup=$(printf '%s\n' "${startup[@]}" | median)

awk -v n=$count -v b="$t_batch" -v w="$t_floor" -v p="$t_phone" -v s="$t_startup" \
  -v mem="$memory_kb" -v runs="$runs" -v pruns="$phonenumber_runs" '
  function rate(t) { return t > 0 ? n / t : 0 }
  BEGIN {
    lookup = b > s ? n / (b - s) : 0
    printf "input: %d numbers, 90%% in known blocks; medians of %d runs (%d of libphonenumber)\n",
      n, runs, pruns
    printf "zorvane-lookup --batch (tsv)  %8.1f ms  %6.2f M numbers/s\n", b * 1000, rate(b) / 1e6
    printf "  its lookups, less start-up  %8.1f ms  %6.2f M numbers/s\n", (b - s) * 1000, lookup / 1e6
    printf "wc -l (the floor)             %8.1f ms  %6.2f M numbers/s\n", w * 1000, rate(w) / 1e6
    printf "libphonenumber geocoder       %8.1f ms  %6.3f M numbers/s\n", p * 1000, rate(p) / 1e6
    printf "batch / wc -l time:           %6.2f x (lookups alone %.2f x)\n", b / w, (b - s) / w
    printf "batch speed / libphonenumber: %6.0f x\n", p / b
    printf "start-up (one-line input):    %6.1f ms\n", s * 1000
    printf "peak memory:                  %6.1f MB\n", mem / 1024
    status = 0
    if (lookup < 25e6) { print "FAIL: lookups below 25 million numbers/s"; status = 1 }
    if (b - s > 4 * w) { print "FAIL: lookups not within 4x of wc -l"; status = 1 }
    if (p < 100 * b) { print "FAIL: less than 100x libphonenumber"; status = 1 }
    if (s >= 0.020) { print "FAIL: start-up 20 ms or more"; status = 1 }
    if (mem >= 64 * 1024) { print "FAIL: peak memory 64 MB or more"; status = 1 }
    exit status
  }'
