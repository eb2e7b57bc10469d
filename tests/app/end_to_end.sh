#!/bin/bash
# End-to-end test of the built program in a real X server of its own:
#  1. started from another current directory, a number typed and Enter, the
#     result box's text copied through the clipboard (Tab, Tab, Ctrl+A,
#     Ctrl+C) equals the three result lines; Esc ends it with status 0;
#  2. a copy of the program's folder without Source/SkinH_EL.dll shows only
#     the fatal-error box (caption 错误) and ends with status 255 once the box
#     is closed.
# Skipped (status 77) when Xvfb, xdotool or xclip is missing.
set -u

program=${1:?usage: end_to_end.sh PATH/TO/zorvane}
for tool in Xvfb xdotool xclip; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed"
    exit 77
  fi
done

work=$(mktemp -d)
xvfb_pid=
app_pid=
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  exit 1
}

# Xvfb picks a free display number itself and writes it to fd 3.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.05
done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$work/display")"
unset WAYLAND_DISPLAY QT_QPA_PLATFORM

# Waits up to 10 s for a visible window whose name matches; prints its id.
wait_window() {
  local id
  for _ in $(seq 200); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1)
    if [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    sleep 0.05
  done
  return 1
}

# Waits up to 10 s for the program to end; sets status.
wait_exit() {
  for _ in $(seq 200); do
    if ! kill -0 "$app_pid" 2>/dev/null; then
      wait "$app_pid"
      status=$?
      app_pid=
      return 0
    fi
    sleep 0.05
  done
  return 1
}

# 1. A lookup, copied out of the result box.
mkdir "$work/elsewhere"
(cd "$work/elsewhere" && exec "$program") >"$work/app.log" 2>&1 &
app_pid=$!
window=$(wait_window '^Zorvane-') || fail "the main window did not appear"
xdotool windowfocus --sync "$window"
sleep 0.2
xdotool type --delay 15 13800138000
xdotool key Return Tab Tab ctrl+a ctrl+c
sleep 0.2
xclip -o -selection clipboard >"$work/copied" 2>/dev/null || fail "nothing on the clipboard"
printf '您查询的电话号码为：13800138000\r\n   该号码的供应商为：中国移动\r\n   该号码的归属地为：北京\r\n' \
  >"$work/expected"
if ! cmp -s "$work/copied" "$work/expected"; then
  echo "copied:"; od -c "$work/copied" | head -20
  fail "the result box does not hold the three result lines"
fi
xdotool key Escape
wait_exit || fail "the program did not end after Esc"
[ "$status" -eq 0 ] || fail "exit status $status after Esc, expected 0"
echo "ok: lookup copied from the result box; Esc ends with status 0"

# 2. The skin library missing.
folder=$(dirname "$program")
mkdir -p "$work/copy/Source"
cp "$program" "$work/copy/"
for file in "$folder"/Source/*; do
  [ "$(basename "$file")" = SkinH_EL.dll ] || cp "$file" "$work/copy/Source/"
done
(cd "$work/elsewhere" && exec "$work/copy/$(basename "$program")") >"$work/app2.log" 2>&1 &
app_pid=$!
box=$(wait_window '^错误$') || fail "the fatal-error box did not appear"
if xdotool search --onlyvisible --name '^Zorvane-' >/dev/null 2>&1; then
  fail "the main window appeared although the skin library is missing"
fi
kill -0 "$app_pid" 2>/dev/null || fail "the program ended before the box was closed"
xdotool windowfocus --sync "$box"
xdotool key Return
wait_exit || fail "the program did not end after the fatal-error box was closed"
[ "$status" -eq 255 ] || fail "exit status $status after the fatal error, expected 255"
echo "ok: without the skin library only the fatal-error box shows; status 255"
