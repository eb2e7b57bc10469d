#!/usr/bin/env bash
# Builds Zorvane where needed and runs it. Arguments go to the program.
set -euo pipefail
source "$(dirname "$0")/scripts/common.sh"

install_missing $PACKAGES_BUILD
configure_and_build "$ZORVANE_ROOT/build" -DZORVANE_BUILD_TESTS=OFF -DZORVANE_BUILD_BENCH=OFF

bin="$ZORVANE_ROOT/build/bin"
if [ -x "$bin/zorvane" ]; then
  exec "$bin/zorvane" "$@"
fi
exec "$bin/zorvane-lookup" "$@"
