#!/usr/bin/env bash
# Builds the project and either starts the program or runs every test,
# installing whatever Debian packages are missing first.
#
#   ./dev.sh run [ARGS...]   build, then start the window (ARGS go to it)
#   ./dev.sh test            build, then run all tests with CTest; then build
#                            the libraries and the command line again with
#                            the address and undefined-behaviour sanitizers
#                            (build-asan/) and run their tests there
#   ./dev.sh package         build, then make the Debian package and check it
#                            (build/rfsplitter_VERSION_ARCH.deb)
#   ./dev.sh build           build only
set -euo pipefail
cd "$(dirname "$0")"

packages=(cmake g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev
          libcli11-dev nlohmann-json3-dev qt6-base-dev qt6-svg-dev libgl-dev
          fonts-dejavu-core fonts-dejavu-extra ngspice locales
          dpkg-dev file lintian appstream desktop-file-utils man-db
          xvfb xdotool imagemagick x11-utils python3-scikit-rf kicad)

install_missing() {
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return
  echo "Installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

build() {
  install_missing
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build build -j "$(nproc)"
}

case "${1:-}" in
  run)
    shift
    build
    exec build/bin/rfsplitter "$@"
    ;;
  package)
    build
    packaging/check_package.sh build
    ;;
  test)
    build
    (cd build && ctest --output-on-failure -j "$(nproc)")
    packaging/check_package.sh build
    # The window stays out of the sanitizer build: the tests of everything
    # below it run there.
    cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DRFSPLITTER_SANITIZE=ON \
          -DRFSPLITTER_BUILD_GUI=OFF -DRFSPLITTER_BUILD_BENCHMARKS=OFF
    cmake --build build-asan -j "$(nproc)"
    cd build-asan
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
      exec ctest --output-on-failure -j "$(nproc)"
    ;;
  build)
    build
    ;;
  *)
    echo "usage: $0 run|test|package|build" >&2
    exit 2
    ;;
esac
