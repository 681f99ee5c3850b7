#!/usr/bin/env bash
# Whether each given Tintwell.exe may ship: it loads on the oldest Windows of
# its architecture (check-imports.py --xp), runs on the oldest processor
# (check-cpu.py) and keeps within the size budget, itemised in
# docs/benchmark.md. Prints one line for each reason it may not, and fails.
#   check-shipped.sh EXE...     check them (make test and make dist)
#   check-shipped.sh --budget   print the size budget in bytes (make bench)
set -uo pipefail
budget=$((382 * 1024))
scripts=$(cd "$(dirname "$0")" && pwd)

if [ "${1:-}" = --budget ]; then
  echo "$budget"
  exit 0
fi
[ $# -gt 0 ] || { echo "usage: $0 EXE... | --budget" >&2; exit 2; }
status=0
for exe in "$@"; do
  # Debian's python3, which has Debian's pefile and capstone.
  /usr/bin/python3 "$scripts/check-imports.py" --xp "$exe" || status=1
  /usr/bin/python3 "$scripts/check-cpu.py" "$exe" || status=1
  bytes=$(stat -c %s "$exe" 2>/dev/null) || { echo "$exe: missing" >&2; status=1; continue; }
  if [ "$bytes" -gt "$budget" ]; then
    echo "$exe: $bytes bytes, over the budget of $budget (docs/benchmark.md)" >&2
    status=1
  fi
done
exit "$status"
