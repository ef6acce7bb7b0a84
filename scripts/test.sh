#!/usr/bin/env bash
# Builds and runs every test: a warning-clean build and its suite, the Debian
# package installed and removed again, the whole suite again under
# AddressSanitizer + UndefinedBehaviorSanitizer, the timer and polling
# tests under ThreadSanitizer, each fuzz target for 30 s, and the Windows
# build's suites under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
chmod 700 "$XDG_RUNTIME_DIR"

echo "== build (warnings are errors)"
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNEL_WERROR=ON >/dev/null
cmake --build build/release -j "$jobs"
echo "== tests"
ctest --test-dir build/release --output-on-failure -j "$jobs"

echo "== the Debian package: built, installed, run, removed"
bash scripts/package-test.sh

echo "== tests under AddressSanitizer + UndefinedBehaviorSanitizer"
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVARNEL_WERROR=ON -DVARNEL_BENCH=OFF \
  -DVARNEL_SANITIZE=address,undefined >/dev/null
cmake --build build/asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build/asan --output-on-failure -j "$jobs"

echo "== timer and polling tests under ThreadSanitizer"
cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVARNEL_WERROR=ON -DVARNEL_BENCH=OFF -DVARNEL_GUI=OFF \
  -DVARNEL_SANITIZE=thread >/dev/null
cmake --build build/tsan -j "$jobs" --target test_receive test_dialog
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  ctest --test-dir build/tsan --output-on-failure -L tsan -j "$jobs"

echo "== fuzz targets, 30 s each"
bash scripts/fuzz.sh 30

echo "== Windows build under Wine"
# The toolchain only when the directory is made (CMake warns "not used" after).
toolchain=(-G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake)
[ ! -f build/windows/CMakeCache.txt ] || toolchain=()
cmake -S . -B build/windows "${toolchain[@]}" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNEL_WERROR=ON -DVARNEL_LINUX_TESTS="$PWD/build/release/tests" >/dev/null
cmake --build build/windows -j "$jobs"
# One at a time: the test programs share the prefix's COM ports. One virtual
# display for all of them, so that no window needs a display of its own.
# A program that fails is run once more: Wine has ended a test program before
# its first word (0.03 s, no output); both runs are in the log, and a test that
# fails twice fails.
xvfb-run -a -s "-screen 0 1600x1000x24" ctest --test-dir build/windows --output-on-failure --repeat until-pass:2
