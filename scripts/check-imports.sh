#!/usr/bin/env bash
# Fails unless every given executable imports only DLLs that Windows ships.
#   check-imports.sh OBJDUMP EXE...
set -euo pipefail
objdump=$1
shift
allowed='^(kernel32|user32|gdi32|advapi32|ole32|oleaut32|msvcrt|comctl32|uxtheme|shell32)\.dll$'
status=0
for exe in "$@"; do
  dlls=$("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
  echo "$(basename "$exe"): $(echo $dlls)"
  while read -r dll; do
    if ! [[ $dll =~ $allowed ]]; then
      echo "  not a system DLL: $dll" >&2
      status=1
    fi
  done <<<"$dlls"
done
exit $status
