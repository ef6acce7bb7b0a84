#!/usr/bin/env bash
# Installs, with apt-get, whatever of the build and test dependencies this
# Debian 12 machine lacks, and says what it installs. Safe to run again.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev   # Qt 6 Widgets and Test
  libgtest-dev libgmock-dev libbenchmark-dev  # GoogleTest, Google Benchmark
  fonts-wqy-microhei                          # renders the panel's Chinese texts
  xvfb xauth                                  # a display for machines without one
  libcap2-bin                                 # capsh, for the exclusive-open test
  g++-mingw-w64-x86-64-posix googletest       # the Windows build: mingw-w64, GoogleTest's sources
  wine64 fonts-wine                           # runs the Windows build's tests; Wine's own fonts
  clang libclang-rt-14-dev                    # libFuzzer, for the fuzz targets
  librsvg2-bin dpkg-dev                       # the icon's PNG sizes; the package's Depends (dpkg-shlibdeps)
  desktop-file-utils appstream                # validate the menu entry and the AppStream file
  ser2net                                     # a serial device server on loopback, for the network port tests
  socat python3 netcat-openbsd                # control clients of the tests' own (the README's examples)
  libsdl2-dev                                 # game controllers on Linux (the gamepad)
  chromium chromium-driver                    # the page in a real browser, headless, for its tests
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all dependencies present"
  exit 0
fi

echo "setup: installing ${missing[*]}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
