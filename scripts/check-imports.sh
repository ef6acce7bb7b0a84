#!/usr/bin/env bash
# Fails when a Windows program of the build needs a DLL that Windows itself
# does not ship (libstdc++-6.dll, libgcc_s_seh-1.dll, libwinpthread-1.dll, ...):
# every program must run as the one file that is copied.
# Usage: check-imports.sh PROGRAM.exe...
set -euo pipefail
objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}
system='^(kernel32|user32|gdi32|comctl32|comdlg32|winmm|advapi32|setupapi|shell32|shlwapi|ole32|oleaut32|oleacc|uxtheme|windowscodecs|msvcrt|ws2_32|bcrypt|ntdll|version|api-ms-win-[a-z0-9-]+)\.dll$'
status=0
for exe in "$@"; do
  dlls=$("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z')
  bad=$(printf '%s\n' "$dlls" | grep -Ev "$system" || true)
  if [ -n "$bad" ]; then
    echo "$(basename "$exe") needs DLLs Windows does not have: $bad"
    status=1
  else
    echo "$(basename "$exe"): $(printf '%s ' $dlls)"
  fi
done
exit $status
