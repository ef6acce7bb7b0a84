#!/usr/bin/env bash
# Runs a Windows program of the build under Wine: in a Wine prefix of the
# build directory's own (made on first use, never ~/.wine), headless, with
# serial lines for the tests:
#   COM31-COM32, COM33-COM34, COM35-COM36, COM37-COM38  null-modem pairs, each
#       two pseudo-terminals whose masters tests/win32/null_modem.c joins, so
#       what one port writes the other reads;
#   COM21  the same line as COM31 (opened only as \\.\COM21, as on Windows);
#   COM1   the device VARNEL_WINE_LINKS names ("com1=/dev/pts/7"), or none.
# Wine gives the machine's own serial devices the free numbers from COM2 on;
# COM20 is "not there" on any machine with fewer than 19 of them.
# Usage: wine-run.sh PROGRAM.exe [ARGS...]; the program's exit status is ours.
set -euo pipefail
exe=${1:?usage: wine-run.sh PROGRAM.exe [ARGS...]}
shift
if [ ! -f "$exe" ]; then
  # Wine would say only "c0000135"; name the program and how it is built.
  echo "wine-run: $exe does not exist; build it first: cmake --build build/windows --target $(basename "$exe" .exe)" >&2
  exit 127
fi

# The build directory: the nearest one above the program with a CMakeCache.txt.
dir=$(cd "$(dirname "$exe")" && pwd)
while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
export WINEPREFIX=${VARNEL_WINEPREFIX:-$dir/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEARCH=win64
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)

# One runner at a time per prefix: the links below are shared.
exec 9>"$WINEPREFIX.lock"
flock 9

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "wine-run: making the Wine prefix $WINEPREFIX" >&2
  "$wine" wineboot -i >/dev/null 2>&1
fi

# Wine has no SimSun: the panel's font "宋体" (SimSun) is drawn with the CJK
# font the project installs, as Windows draws it with SimSun. Wine draws the
# windows' frames and captions itself, as there may be no window manager.
if [ ! -f "$WINEPREFIX/.varnel-setup" ]; then
  {
    printf 'Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\n'
    for name in SimSun 宋体 NSimSun; do printf '"%s"="WenQuanYi Micro Hei"\n' "$name"; done
    printf '\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\n"Decorated"="N"\n'
  } | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$WINEPREFIX/drive_c/varnel-setup.reg"
  "$wine" regedit /S 'C:\varnel-setup.reg' >/dev/null 2>&1
  "$(dirname "$wine")/wineserver" -w 2>/dev/null || true
  touch "$WINEPREFIX/.varnel-setup"
fi

# Two small native helpers, built here on first use: the null-modem pairs, and
# a shim that lets a pseudo-terminal take line settings as a port does.
helpers=$(cd "$(dirname "$0")/.." && pwd)/tests/win32
modem=$dir/null-modem
shim=$dir/pty-as-port.so
if [ ! -x "$modem" ] || [ "$helpers/null_modem.c" -nt "$modem" ]; then
  cc -O2 -Wall -o "$modem" "$helpers/null_modem.c" -lutil
fi
if [ ! -f "$shim" ] || [ "$helpers/pty_as_port.c" -nt "$shim" ]; then
  cc -O2 -Wall -shared -fPIC -o "$shim" "$helpers/pty_as_port.c" -ldl
fi

dosdevices=$WINEPREFIX/dosdevices
# Wine's mount manager owns COM1 to COM20: at every start it links what its
# registry key names, and gives each serial device of the machine the first
# free COM number (/dev/ttyS0 would be COM1). The key names COM1, a link of
# ours set anew for each run below, so that COM1 is the test's device or none.
ports="REGEDIT4

[-HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]

[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]
\"COM1\"=\"$dir/wine-com1\""
if [ "$ports" != "$(cat "$WINEPREFIX/drive_c/varnel-ports.reg" 2>/dev/null)" ]; then
  printf '%s\n' "$ports" >"$WINEPREFIX/drive_c/varnel-ports.reg"
  "$wine" regedit /S 'C:\varnel-ports.reg' >/dev/null 2>&1
  "$(dirname "$wine")/wineserver" -w 2>/dev/null || true
  rm -f "$dosdevices"/com*  # links of an earlier key; the next start makes the new ones
fi

modem_pid=
cleanup() {
  if [ -n "$modem_pid" ]; then kill "$modem_pid" 2>/dev/null || true; fi
  rm -f "$dosdevices"/com21 "$dosdevices"/com3[1-8]
}
trap cleanup EXIT
rm -f "$dosdevices"/com21 "$dosdevices"/com3[1-8]
coproc MODEM { exec "$modem" "$dosdevices" 31 4 9>&-; }
modem_pid=$MODEM_PID
read -r -t 10 ready <&"${MODEM[0]}" || { echo "wine-run: the null-modem pairs did not start" >&2; exit 1; }
# COM21 is the first pair's COM31 line; COM1 is the test's own device
# (VARNEL_WINE_LINKS="com1=/dev/pts/7"), or none.
com1=/nonexistent/varnel-no-com1
for link in ${VARNEL_WINE_LINKS:-}; do [ "${link%%=*}" = com1 ] && com1=${link#*=}; done
ln -sfn "$com1" "$dir/wine-com1"
ln -sfn "$dir/wine-com1" "$dosdevices/com1"
ln -sfn "$(readlink "$dosdevices/com31")" "$dosdevices/com21"

# A display for the windows: the one there is, or a virtual one.
display=()
if [ -z "${DISPLAY:-}" ]; then display=(xvfb-run -a -s "-screen 0 1600x1000x24"); fi

# The prefix's server, started here with its standard error set aside: as it
# ends, Debian's wineserver lists every object it still holds (thousands of
# lines), nothing the program said. Already running: nothing happens.
"$(dirname "$wine")/wineserver" 9>&- 2>/dev/null || true

set +e
LD_PRELOAD=$shim${LD_PRELOAD:+:$LD_PRELOAD} "${display[@]}" "$wine" "$exe" "$@" 9>&-
status=$?
set -e
# Said, so that a run that ends before the program says a word is not a blank failure.
if [ "$status" -ne 0 ]; then echo "wine-run: $(basename "$exe") ended with status $status" >&2; fi
exit $status
