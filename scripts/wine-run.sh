#!/usr/bin/env bash
# Runs a Windows program of the build under Wine: in a Wine prefix of the
# build directory's own (made on first use, never ~/.wine), headless, with
# serial lines for the tests:
#   COM31-COM32, COM33-COM34, COM35-COM36, COM37-COM38  null-modem pairs, each
#       two pseudo-terminals whose masters tests/win32/null_modem.c joins, so
#       what one port writes the other reads;
#   COM21  the same line as COM31 (opened only as \\.\COM21, as on Windows).
# No other COM port exists in the prefix, so COM2 to COM20 are "not there".
# Usage: wine-run.sh PROGRAM.exe [ARGS...]; the program's exit status is ours.
set -euo pipefail
exe=$1
shift

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
modem_pid=
cleanup() {
  if [ -n "$modem_pid" ]; then kill "$modem_pid" 2>/dev/null || true; fi
  rm -f "$dosdevices"/com*
}
trap cleanup EXIT
rm -f "$dosdevices"/com*
coproc MODEM { exec "$modem" "$dosdevices" 31 4 9>&-; }
modem_pid=$MODEM_PID
read -r -t 10 ready <&"${MODEM[0]}" || { echo "wine-run: the null-modem pairs did not start" >&2; exit 1; }
ln -s "$(readlink "$dosdevices/com31")" "$dosdevices/com21"

set +e
LD_PRELOAD=$shim${LD_PRELOAD:+:$LD_PRELOAD} "$wine" "$exe" "$@" 9>&-
status=$?
set -e
exit $status
