#!/bin/bash
# Makes docs/window.png: the window after a lookup, on an X server of its own
# with a small window manager (openbox) for the frame.
#   docs/make_screenshot.sh [BUILD_DIR]      (default: build)
set -eu
build=$(realpath "${1:-build}")
out=$(dirname "$(realpath "$0")")/window.png
work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null; rm -rf "$work"' EXIT
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
exec 3>&-
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(head -n1 "$work/display")"
openbox >/dev/null 2>&1 &
pids+=($!)
sleep 1
"$build/bin/zorvane" >/dev/null 2>&1 &
pids+=($!)
window=$(xdotool search --sync --onlyvisible --name '^Zorvane-' | head -n1)
sleep 0.5
xdotool windowactivate --sync "$window" type --delay 20 13800138000
xdotool key Return
sleep 0.5
# The frame: the client area's place less the frame extents.
X=$(xwininfo -id "$window" | awk '/Absolute upper-left X/ {print $4}')
Y=$(xwininfo -id "$window" | awk '/Absolute upper-left Y/ {print $4}')
WIDTH=$(xwininfo -id "$window" | awk '/Width:/ {print $2}')
HEIGHT=$(xwininfo -id "$window" | awk '/Height:/ {print $2}')
read -r left right top bottom < <(xprop -id "$window" _NET_FRAME_EXTENTS | tr -d ',' | awk '{print $3, $4, $5, $6}')
import -window root -crop "$((WIDTH + left + right))x$((HEIGHT + top + bottom))+$((X - left))+$((Y - top))" "$out"
echo "wrote $out (client ${WIDTH}x${HEIGHT}, frame $left,$right,$top,$bottom)"
