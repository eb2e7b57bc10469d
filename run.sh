#!/usr/bin/env bash
# Installs what is missing, builds Zorvane where needed and opens its window.
set -euo pipefail
source "$(dirname "$0")/scripts/common.sh"

install_missing $PACKAGES_BUILD
configure_and_build "$ZORVANE_ROOT/build" -DZORVANE_BUILD_TESTS=OFF -DZORVANE_BUILD_BENCH=OFF

# Without a display the program says so in one line and points to
# build/bin/zorvane-lookup, the same lookup on the command line.
exec "$ZORVANE_ROOT/build/bin/zorvane" "$@"
