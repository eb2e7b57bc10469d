#!/bin/bash
# Start-up of the window program: time from launch to its window being mapped
# on an X server of its own (Xvfb, no window manager), median of RUNS runs,
# against the smallest Qt window built the same way (bench_minimal_window).
# Then Enter to result, measured in process (bench_window_lookup).
#
#   bench/window_startup.sh [BUILD_DIR] [RUNS]      (default: build, 15)
# Goals: start-up within 1.3 times the minimal window; Enter to result < 1 ms.
set -eu

build=$(realpath "${1:-build}")
runs=${2:-15}
program=$build/bin/zorvane
minimal=$build/bin/bench_minimal_window
lookup=$build/bin/bench_window_lookup
for file in "$program" "$minimal" "$lookup"; do
  [ -x "$file" ] || { echo "missing $file: build first"; exit 1; }
done
for tool in Xvfb xev stdbuf; do
  command -v "$tool" >/dev/null || { echo "missing $tool (xvfb, x11-utils, coreutils)"; exit 1; }
done

work=$(mktemp -d)
xvfb_pid=
trap '[ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null; rm -rf "$work"' EXIT
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(head -n1 "$work/display")"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY

# Milliseconds from launch to the first top-level window mapped.
time_to_map() {
  local program=$1 line start end pid
  coproc XEV { exec stdbuf -oL xev -root -event substructure; }
  sleep 0.3  # xev is listening
  start=$EPOCHREALTIME
  (cd "$work" && exec "$program") >/dev/null 2>&1 &
  pid=$!
  while :; do
    if ! read -r -t 10 line <&"${XEV[0]}"; then
      echo "no window of $program was mapped within 10 s" >&2
      kill "$pid" "$XEV_PID" 2>/dev/null
      exit 1
    fi
    [[ $line == MapNotify* ]] && break
  done
  end=$EPOCHREALTIME
  kill "$pid" "$XEV_PID" 2>/dev/null || true
  wait "$pid" "$XEV_PID" 2>/dev/null || true
  awk -v s="$start" -v e="$end" 'BEGIN { printf "%.1f\n", (e - s) * 1000 }'
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# One unmeasured run each warms the caches.
time_to_map "$program" >/dev/null
time_to_map "$minimal" >/dev/null
: >"$work/program.ms"
: >"$work/minimal.ms"
for _ in $(seq "$runs"); do
  time_to_map "$program" >>"$work/program.ms"
  time_to_map "$minimal" >>"$work/minimal.ms"
done
program_ms=$(median <"$work/program.ms")
minimal_ms=$(median <"$work/minimal.ms")
echo "start-up to window mapped, median of $runs runs:"
echo "  zorvane:              $program_ms ms"
echo "  minimal Qt window:    $minimal_ms ms"
awk -v p="$program_ms" -v m="$minimal_ms" \
  'BEGIN { printf "  ratio:                %.2f (goal: at most 1.30)\n", p / m }'

echo "Enter to result (in process, offscreen):"
"$lookup" --benchmark_min_time=0.5 2>/dev/null | grep -E 'BM_|Benchmark' || true
