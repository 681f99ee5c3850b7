#!/usr/bin/env bash
# Packs the built Tintwell.exe of each architecture with a short read-me:
# dist/Tintwell-1.0-x86.zip and dist/Tintwell-1.0-x64.zip, and their SHA256SUMS.
# The same commit gives the same bytes: fixed file order, the last commit's
# time on every file, no extra fields.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
stamp=$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo "${SOURCE_DATE_EPOCH:?outside a git checkout, set SOURCE_DATE_EPOCH}")
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
rm -rf "$root/dist"
mkdir -p "$root/dist"
for arch in x86 x64; do
  rm -rf "${stage:?}"/*
  cp "$root/build/$arch/src/Tintwell.exe" "$stage/"
  cat >"$stage/README.txt" <<TEXT
Tintwell 1.00 ($arch)

Sets the colour in which the messenger shows your own instant-message text.
Sign in to the messenger, start Tintwell.exe, pick a colour with the red,
green and blue bars, and click "Change".

Which build to use: the x86 build goes beside a 32-bit messenger (the usual
case) and runs on Windows XP SP3 and every later Windows; the x64 build goes
beside a 64-bit one and runs on Windows XP x64 and later. Neither needs an
installation or any DLL beyond Windows' own. Tintwell writes one registry value, "IM Color", in the signed-in
account's messenger settings, and nothing else.
TEXT
  chmod 0644 "$stage/Tintwell.exe" "$stage/README.txt"
  # A zip holds local times: pinned to UTC, the stamp reads the same everywhere.
  TZ=UTC touch -d "@$stamp" "$stage/Tintwell.exe" "$stage/README.txt"
  (cd "$stage" && TZ=UTC zip -q -X -D "$root/dist/Tintwell-1.0-$arch.zip" Tintwell.exe README.txt)
  echo "dist/Tintwell-1.0-$arch.zip"
done
(cd "$root/dist" && sha256sum Tintwell-1.0-x86.zip Tintwell-1.0-x64.zip >SHA256SUMS)
cat "$root/dist/SHA256SUMS"
