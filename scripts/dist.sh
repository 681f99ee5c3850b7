#!/usr/bin/env bash
# Packs the built Tintwell.exe of each architecture with a short read-me:
# dist/Tintwell-1.0-x86.zip and dist/Tintwell-1.0-x64.zip.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
rm -rf "$root/dist"
mkdir -p "$root/dist"
for arch in x86 x64; do
  stage=$(mktemp -d)
  cp "$root/build/$arch/src/Tintwell.exe" "$stage/"
  cat >"$stage/README.txt" <<TEXT
Tintwell 1.00 ($arch)

Sets the colour in which the messenger shows your own instant-message text.
Sign in to the messenger, start Tintwell.exe, pick a colour with the red,
green and blue bars, and click "Change".

Which build to use: the x86 build goes beside a 32-bit messenger (the usual
case); the x64 build beside a 64-bit one. Both run on 32- and 64-bit Windows
as far as the architecture allows, need no installation and no DLL beyond
Windows' own. Tintwell writes one registry value, "IM Color", in the signed-in
account's messenger settings, and nothing else.
TEXT
  (cd "$stage" && zip -q -X "$root/dist/Tintwell-1.0-$arch.zip" Tintwell.exe README.txt)
  rm -rf "$stage"
  echo "dist/Tintwell-1.0-$arch.zip"
done
