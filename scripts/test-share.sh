#!/usr/bin/env bash
# Prints the tests' share of the code and fails above the budget: the lines
# of C++, IDL and resource scripts under tests/ (support code included)
# against those under src/, standin/ and bench/, blank lines and whole-line
# comments left out. About a third is the aim; CONTRIBUTING.md says why.
set -euo pipefail
cd "$(dirname "$0")/.."
most=45
count() {
  git ls-files -- "$@" | grep -E '\.(cpp|h|idl|rc)$' | xargs cat | grep -c -v -E '^\s*(//.*)?$'
}
tests=$(count tests)
code=$(count src standin bench)
share=$((100 * tests / code))
echo "tests: $tests lines, $share % of the code's $code (at most $most %)"
[ "$share" -le "$most" ] || { echo "error: the tests are over their budget of $most % of the code" >&2; exit 1; }
