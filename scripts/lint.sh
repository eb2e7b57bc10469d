#!/usr/bin/env bash
# Static analysis: clang-tidy (the checks of .clang-tidy) and cppcheck over
# our code; any finding fails the run. Run by ./test.sh --lint, which
# installs clang-tidy, cppcheck and clang first.
#
# Checked: every source of app/, platform/, lookup/, tools/, tests/, bench/
# and fuzz/, with the flags of its build (configured, not built, in
# build-lint/ and, for the fuzz targets' clang build, build-lint/fuzz/).
# Not checked: generated sources (the icon resource).
#
# cppcheck 2.10 stops at identifiers outside ASCII, which this code has many
# of (号段, 执行查询), so it reads a copy of the sources in which every
# character outside ASCII is spelled U<hex> (号段 -> U53F7U6BB5): the same
# code, line for line, under other names. Its findings name the real files.
set -euo pipefail
source "$(dirname "$0")/common.sh"

lint="$ZORVANE_ROOT/build-lint"
folders=(app platform lookup tools tests bench fuzz)

cmake -S "$ZORVANE_ROOT" -B "$lint" -G Ninja -DZORVANE_BUILD_TESTS=ON -DZORVANE_BUILD_BENCH=ON \
  >/dev/null
fuzz_flags="-fsanitize=fuzzer-no-link,address,undefined"
CC=clang CXX=clang++ cmake -S "$ZORVANE_ROOT" -B "$lint/fuzz" -G Ninja -DZORVANE_FUZZ=ON \
  -DZORVANE_BUILD_APP=OFF -DZORVANE_BUILD_TESTS=OFF -DZORVANE_BUILD_BENCH=OFF \
  "-DCMAKE_C_FLAGS=$fuzz_flags" "-DCMAKE_CXX_FLAGS=$fuzz_flags" >/dev/null

cd "$ZORVANE_ROOT"
mapfile -t sources < <(find "${folders[@]}" -name '*.cpp' | sort)
fuzz_sources=()
main_sources=()
for f in "${sources[@]}"; do
  case $f in
    fuzz/*) fuzz_sources+=("$f") ;;
    *) main_sources+=("$f") ;;
  esac
done

status=0
say "clang-tidy: ${#sources[@]} files"
tidy() {
  local build=$1
  shift
  printf '%s\n' "$@" | xargs -P "$(nproc)" -n 1 clang-tidy -p "$build" --quiet 2>/dev/null
}
{
  tidy "$lint" "${main_sources[@]}" || status=1
  tidy "$lint/fuzz" "${fuzz_sources[@]}" || status=1
} >"$lint/clang-tidy.txt"
# A header's finding comes once for every file that includes it.
if grep -E 'warning:|error:' "$lint/clang-tidy.txt" | sort -u; then
  status=1
  say "clang-tidy: the whole report is in $lint/clang-tidy.txt"
fi

say "cppcheck"
ascii="$lint/ascii"
rm -rf "$ascii"
while IFS= read -r f; do
  mkdir -p "$ascii/$(dirname "$f")"
  perl -CSD -pe 's/([^\x00-\x7F])/sprintf("U%X", ord($1))/ge' "$f" >"$ascii/$f"
done < <(find "${folders[@]}" -name '*.cpp' -o -name '*.h')
ln -sfn "$lint" "$ascii/$(basename "$lint")"
# The generated icon resource is named by the compile commands; it must exist.
ninja -C "$lint" app/.rcc/qrc_default_icon.cpp >/dev/null
for build in "$lint" "$lint/fuzz"; do
  # The same commands, on the copy.
  perl -pe "s#\Q$ZORVANE_ROOT\E(?=[/ \"])#$ascii#g" "$build/compile_commands.json" \
    >"$build/compile_commands.ascii.json"
  cppcheck --project="$build/compile_commands.ascii.json" --enable=warning,performance,portability \
    --library=googletest --std=c++20 --inline-suppr --quiet --error-exitcode=1 \
    -j "$(nproc)" -i"$ascii/$(basename "$lint")" \
    --template='{file}:{line}: {severity} {id}: {message}' 2>&1 |
    sed "s#$ascii/##" || status=1
done

if [ $status -ne 0 ]; then
  say "lint: findings above"
  exit 1
fi
say "lint: clean"
