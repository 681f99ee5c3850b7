#!/usr/bin/env bash
# Packs the built Tintwell.exe of each architecture with its read-me
# (docs/zip-readme.txt) and licence: dist/Tintwell-<version>-x86.zip and
# -x64.zip, and their SHA256SUMS. The version is the project's, as CMake
# wrote it into the build trees. Each zip holds one folder
# (Tintwell-<version>-x86/...), so that unzipping puts the program in a
# folder of its own rather than among other downloads.
# The same commit gives the same bytes: fixed file order, the last commit's
# time on every file, no extra fields.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
stamp=$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo "${SOURCE_DATE_EPOCH:?outside a git checkout, set SOURCE_DATE_EPOCH}")
version=$(cat "$root/build/x64/version.txt")
if [ "$(cat "$root/build/x86/version.txt")" != "$version" ]; then
  echo "error: build/x86 and build/x64 were configured for different versions" >&2
  exit 1
fi
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
zips=()
for arch in x86 x64; do
  name=Tintwell-$version-$arch
  rm -rf "${stage:?}"/*
  mkdir "$stage/$name"
  cp "$root/build/$arch/src/Tintwell.exe" "$stage/$name/"
  # Text files with Windows' line ends, which XP's Notepad needs.
  sed 's/$/\r/' "$root/LICENSE" >"$stage/$name/LICENSE.txt"
  sed -e "s|@VERSION@|$version|" -e "s|@ARCH@|$arch|" -e "s|@BUILT_WITH@|$(built_with "$arch")|" \
    -e 's/$/\r/' "$root/docs/zip-readme.txt" >"$stage/$name/README.txt"
  files=("$name/Tintwell.exe" "$name/README.txt" "$name/LICENSE.txt")
  (cd "$stage" && chmod 0644 "${files[@]}")
  # A zip holds local times: pinned to UTC, the stamp reads the same everywhere.
  (cd "$stage" && TZ=UTC touch -d "@$stamp" "${files[@]}")
  (cd "$stage" && TZ=UTC zip -q -X -D "$root/dist/$name.zip" "${files[@]}")
  echo "dist/$name.zip"
  zips+=("$name.zip")
done
(cd "$root/dist" && sha256sum "${zips[@]}" >SHA256SUMS)
cat "$root/dist/SHA256SUMS"
