#!/usr/bin/env bash
# The manual documents exactly the options --help lists: an option added to
# one and not the other fails here.
#   check-manual.sh VARNEL MANUAL
set -euo pipefail
help=$("$1" --help | grep -oE -- '--[a-z][a-z-]*' | sort -u)
manual=$(sed -e 's/\\-/-/g' -e 's/\\f[BIR]//g' "$2" | grep -oE -- '--[a-z][a-z-]*' | sort -u)
if [ "$help" != "$manual" ]; then
  echo "options in --help but not in the manual:"; comm -23 <(echo "$help") <(echo "$manual")
  echo "options in the manual but not in --help:"; comm -13 <(echo "$help") <(echo "$manual")
  exit 1
fi
echo "manual and --help agree on $(echo "$help" | wc -l) options"
