#!/usr/bin/env bash
# Builds the panel and starts it on the simulated gimbal. Extra arguments go
# to varnel (for a real gimbal: scripts/run.sh --port COM1=/dev/ttyUSB0, and
# leave out --simulate by running build/release/app/varnel yourself).
#
# Without a display (a server, a container, CI) there is nobody to see a
# window: it runs a short session on the simulated gimbal instead (a card
# query, its decoded reply, the log), writes a picture of the window as the
# session left it and ends.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release -j "$(nproc)" --target varnel varnel-sim

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec build/release/app/varnel --simulate "$@"
fi

shot="$PWD/build/varnel-window.png"
echo "run: no display, so no window to show; a short session on the simulated gimbal instead."
echo "run: press \"Query State\" (1050), wait for the reply, show the log with the decoded status, and the frame sent:"
echo
rm -f "$shot"
printf 'click 1050\nwait 500\nlog\nsent\nscreenshot %s\nquit\n' "$shot" |
  XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}" build/release/app/varnel --simulate --script - "$@" 2>/dev/null
echo
if [ -f "$shot" ]; then
  echo "run: a picture of the window is in $shot"
else
  echo "run: no picture of the window was written"
fi
echo "run: on a machine with a display, the same command starts the panel itself."
