#!/usr/bin/env bash
# Packs the built Tintwell.exe of each architecture with a short read-me:
# dist/Tintwell-1.0-x86.zip and dist/Tintwell-1.0-x64.zip, and their SHA256SUMS.
# Each zip holds one folder (Tintwell-1.0-x86/...), so that unzipping puts the
# program in a folder of its own rather than among other downloads.
# The same commit gives the same bytes: fixed file order, the last commit's
# time on every file, no extra fields.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
stamp=$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo "${SOURCE_DATE_EPOCH:?outside a git checkout, set SOURCE_DATE_EPOCH}")
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
rm -rf "$root/dist"
mkdir -p "$root/dist"
# The compiler that built an architecture's tree: its Debian package and
# version, and the release it comes from.
built_with() {
  local compiler package
  compiler=$(cat "$root/build/$1/compiler.txt")
  package=$(dpkg-query -S "$(readlink -f "$compiler")" | cut -d: -f1)
  # shellcheck disable=SC1091
  echo "$package $(dpkg-query -W -f='${Version}' "$package") ($(. /etc/os-release && echo "$PRETTY_NAME"))"
}
for arch in x86 x64; do
  name=Tintwell-1.0-$arch
  rm -rf "${stage:?}"/*
  mkdir "$stage/$name"
  cp "$root/build/$arch/src/Tintwell.exe" "$stage/$name/"
  cat >"$stage/$name/README.txt" <<TEXT
Tintwell 1.00 ($arch)

Sets the colour in which the messenger shows your own instant-message text.
Sign in to the messenger, start Tintwell.exe, pick a colour with the red,
green and blue bars, and click "Change".

Which build to use: the x86 build runs on Windows XP SP3 and every later
Windows; the x64 build runs on 64-bit Windows, XP x64 and later. Both work
with the messenger, a 32-bit program. Neither needs an installation or any
DLL beyond Windows' own. Tintwell writes one registry value, "IM Color", in
the signed-in account's messenger settings, and nothing else.

Built with $(built_with "$arch").
TEXT
  files=("$name/Tintwell.exe" "$name/README.txt")
  (cd "$stage" && chmod 0644 "${files[@]}")
  # A zip holds local times: pinned to UTC, the stamp reads the same everywhere.
  (cd "$stage" && TZ=UTC touch -d "@$stamp" "${files[@]}")
  (cd "$stage" && TZ=UTC zip -q -X -D "$root/dist/$name.zip" "${files[@]}")
  echo "dist/$name.zip"
done
(cd "$root/dist" && sha256sum Tintwell-1.0-x86.zip Tintwell-1.0-x64.zip >SHA256SUMS)
cat "$root/dist/SHA256SUMS"
