#!/usr/bin/env bash
# Prints Tintwell's figures against its floor (make bench), or runs the long
# session (make soak). Builds must exist: the Makefile builds first.
#   bench.sh bench | soak
set -euo pipefail
mode=${1:-bench}
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/x64"
harness="$root/scripts/wine-harness.sh"

echo "machine: $(nproc) cores, $(free -g | awk '/^Mem:/ {print $2}') GiB, $(uname -m), $(/usr/lib/wine/wine64 --version)"
if [ "$mode" = soak ]; then
  bash "$harness" --name bench "$build" run "$build/bench/bench.exe" soak
  exit
fi
bash "$harness" --name bench "$build" run "$build/bench/bench.exe"

echo
budget=$(bash "$root/scripts/check-shipped.sh" --budget)
printf '%-22s %10s %8s  %s\n' "size" "bytes" "target" "imports"
for arch in x86 x64; do
  exe="$root/build/$arch/src/Tintwell.exe"
  bytes=$(stat -c %s "$exe")
  dlls=$(/usr/bin/python3 "$root/scripts/check-imports.py" "$exe" | sed 's/^[^:]*: //')
  verdict=met
  [ "$bytes" -le "$budget" ] || verdict=MISSED
  printf '%-22s %10d %8s  %s (%s)\n' "Tintwell.exe $arch" "$bytes" "$((budget / 1024)) KB" "$dlls" "$verdict"
done
