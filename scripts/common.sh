# Shared by run.sh and test.sh: install what is missing, configure, build.
# Sourced, not run.

ZORVANE_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Debian packages by purpose.
PACKAGES_BUILD="g++ cmake ninja-build pkgconf libsqlite3-dev libssl-dev qt6-base-dev libgl-dev
  librsvg2-bin fonts-wqy-microhei"
PACKAGES_TEST="googletest libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth xdotool xclip
  x11-utils openbox valgrind"
PACKAGES_FUZZ="clang libclang-rt-14-dev"
PACKAGES_LINT="clang-tidy cppcheck clang-format"
PACKAGES_BENCH="libphonenumber-dev libicu-dev hyperfine time"

say() { printf '%s\n' "$*" >&2; }

# Installs, non-interactively, those of the named packages that are missing.
install_missing() {
  local missing=() pkg
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' ||
      missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  say "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q >&2
  $sudo apt-get install -y -q --no-install-recommends "${missing[@]}" >&2
}

# configure_and_build BUILD_DIR [cmake options...]
configure_and_build() {
  local dir=$1
  shift
  cmake -S "$ZORVANE_ROOT" -B "$dir" -G Ninja "$@" >&2 &&
    cmake --build "$dir" -j "$(nproc)" >&2
}
