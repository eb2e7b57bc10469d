#!/bin/bash
# valgrind memcheck over a whole run; fails on any memory error and on any
# definite leak (memcheck's own exit status 99).
#
#   leaks.sh window PATH/zorvane_window_life   the window's life (offscreen)
#   leaks.sh batch PATH/zorvane-lookup         --batch over 5000 lines, from a
#                                              file and from standard input
# Skipped (status 77) when valgrind is missing.
set -u

mode=${1:?usage: leaks.sh window|batch PROGRAM}
program=${2:?usage: leaks.sh window|batch PROGRAM}
if ! command -v valgrind >/dev/null; then
  echo "SKIP: valgrind is not installed"
  exit 77
fi

memcheck() {
  valgrind --tool=memcheck --leak-check=full --show-leak-kinds=definite \
    --errors-for-leak-kinds=definite --error-exitcode=99 --num-callers=40 "$@"
}

case $mode in
  window)
    QT_QPA_PLATFORM=offscreen memcheck "$program"
    ;;
  batch)
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    # Found, not found, rejected and pasted forms, 5000 lines.
    awk 'BEGIN {
      split("13800138000,12000000000,23800138000,1380013800,+86 138-0013-8000,１３８００１３８０００,1861234567x", n, ",");
      for (i = 0; i < 5000; i++) print n[i % 7 + 1];
    }' >"$work/numbers.txt"
    memcheck "$program" --batch --normalize --summary --input "$work/numbers.txt" >/dev/null &&
      memcheck "$program" --batch --format jsonl <"$work/numbers.txt" >/dev/null
    ;;
  *)
    echo "leaks.sh: unknown mode $mode" >&2
    exit 2
    ;;
esac
