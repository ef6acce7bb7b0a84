#!/usr/bin/env bash
# The Windows program, from this Linux machine (installs what is missing first):
#   bash scripts/windows.sh build        builds build/windows/app/varnel.exe, the one file to copy
#   bash scripts/windows.sh run [ARGS]   builds it and starts it under Wine on the simulated
#                                        gimbal (ARGS go to varnel.exe); without a display, a
#                                        short session and a picture of the window, as run.sh
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-}
case "$mode" in
  build | run) shift ;;
  *)
    sed -n '2,6p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
    ;;
esac
bash scripts/setup.sh
# The toolchain is chosen once, when the build directory is made: CMake warns
# that it is "not used" when it is given again.
if [ -f build/windows/CMakeCache.txt ]; then
  cmake -S . -B build/windows >/dev/null
else
  cmake -S . -B build/windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build build/windows -j "$(nproc)" --target varnel
echo "windows: $PWD/build/windows/app/varnel.exe"
[ "$mode" = run ] || exit 0
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec scripts/wine-run.sh build/windows/app/varnel.exe --simulate "$@"
fi

# No display: nobody would see the window. The same short session as
# scripts/run.sh, under Wine on a virtual display, and a picture at its end.
shot="$PWD/build/windows/varnel-window.png"
echo "windows: no display, so no window to show; a short session on the simulated gimbal instead."
echo "windows: press \"Query State\" (1050), wait for the reply, show the log with the decoded status, and the frame sent:"
echo
rm -f "$shot"
printf 'click 1050\nwait 500\nlog\nsent\nscreenshot %s\nquit\n' "Z:$shot" |
  xvfb-run -a -s "-screen 0 1600x1000x24" scripts/wine-run.sh build/windows/app/varnel.exe --simulate --script - \
    "$@" 2>/dev/null | tr -d '\r'
echo
if [ -f "$shot" ]; then
  echo "windows: a picture of the window is in $shot"
else
  echo "windows: no picture of the window was written"
fi
