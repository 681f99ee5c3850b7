#!/usr/bin/env bash
# Fails, naming each file, when clang-format would change a C++ file of src/,
# standin/, bench/ or tests/ (.clang-format), or shellcheck flags a shell
# script of scripts/ or .ci/run. make test runs it first.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 1
status=0
while IFS= read -r -d '' file; do
  if ! clang-format --dry-run --Werror "$file" >/dev/null 2>&1; then
    echo "clang-format would change $file (clang-format -i $file)"
    status=1
  fi
done < <(find src standin bench tests -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z)
while IFS= read -r -d '' file; do
  if ! shellcheck "$file" >/dev/null; then
    echo "shellcheck flags $file (shellcheck $file)"
    status=1
  fi
done < <(find scripts .ci -type f \( -name '*.sh' -o -name run \) -print0 | sort -z)
[ "$status" -eq 0 ] && echo "style: every C++ file as clang-format $(clang-format --version | grep -o '[0-9][0-9.]*' | head -1) leaves it; every script clean by shellcheck"
exit "$status"
