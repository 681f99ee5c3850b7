#!/usr/bin/env bash
# Packs the built Tintwell.exe of each architecture with its read-me
# (docs/zip-readme.txt) and licence: dist/Tintwell-<version>-x86.zip and
# -x64.zip, and their SHA256SUMS. The version is the project's, as CMake
# wrote it into the build trees. Each zip holds one folder
# (Tintwell-<version>-x86/...), so that unzipping puts the program in a
# folder of its own rather than among other downloads.
# The same commit gives the same bytes: fixed file order, the last commit's
# time on every file, no extra fields; the read-me names the commit.
# Nothing is zipped that make test would refuse to ship (check-shipped.sh),
# nor a tree with changes that are not committed, which would pass for that
# commit's release:
#   dist.sh                        the zips of the last commit
#   dist.sh --allow-uncommitted    the tree as it is (make dist ALLOW_UNCOMMITTED=1),
#                                  its read-me saying so
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
allow_uncommitted=false
[ "${1:-}" = --allow-uncommitted ] && allow_uncommitted=true

fail() {
  echo "error: $*; no zip was made" >&2
  exit 1
}

# A refused run leaves no zip behind, not even an earlier one.
rm -rf "$root/dist"

commit=$(git -C "$root" rev-parse HEAD 2>/dev/null) || fail "$root is not a git checkout"
stamp=$(git -C "$root" log -1 --format=%ct)
changes=$(git -C "$root" status --porcelain)
if [ -n "$changes" ]; then
  $allow_uncommitted || fail "the tree has changes that are not committed (git status); commit them, or run make dist ALLOW_UNCOMMITTED=1"
  commit="$commit (with changes that were not committed)"
fi
exes=("$root/build/x86/src/Tintwell.exe" "$root/build/x64/src/Tintwell.exe")
bash "$root/scripts/check-shipped.sh" "${exes[@]}" >/dev/null || fail "a program may not ship (above)"
version=$(cat "$root/build/x64/version.txt")
if [ "$(cat "$root/build/x86/version.txt")" != "$version" ]; then
  echo "error: build/x86 and build/x64 were configured for different versions" >&2
  exit 1
fi
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
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
    -e "s|@COMMIT@|$commit|" \
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
