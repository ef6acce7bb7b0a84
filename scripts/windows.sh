#!/usr/bin/env bash
# The Windows program, from this Linux machine (installs what is missing first):
#   bash scripts/windows.sh build        builds build/windows/app/varnel.exe, the one file to copy
#   bash scripts/windows.sh run [ARGS]   builds it and starts it under Wine on the simulated
#                                        gimbal (ARGS go to varnel.exe; a virtual display when
#                                        there is none)
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
cmake -S . -B build/windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/windows -j "$(nproc)" --target varnel
echo "windows: $PWD/build/windows/app/varnel.exe"
[ "$mode" = run ] || exit 0
exec scripts/wine-run.sh build/windows/app/varnel.exe --simulate "$@"
