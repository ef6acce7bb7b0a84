#!/usr/bin/env bash
# Builds the panel and starts it on the simulated gimbal. Extra arguments go
# to varnel (for a real gimbal: scripts/run.sh --port COM1=/dev/ttyUSB0, and
# leave out --simulate by running build/release/app/varnel yourself).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release -j "$(nproc)" --target varnel varnel-sim
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "run: no display; starting the panel on a virtual one (xvfb-run)"
  exec xvfb-run -a build/release/app/varnel --simulate "$@"
fi
exec build/release/app/varnel --simulate "$@"
