#!/usr/bin/env bash
# Prints the size of the test code against the product code, in non-blank, non-comment lines
# (the measure the project holds its suite to: a quarter to a third).
# Product: CairnmoorCore/ and app/. Tests: tests/ (sources and scripts; fixture and golden data
# files such as *.json, *.txt, *.golden, *.cmprofile are data, not test code). bench/ and fuzz/
# are reported apart. Usage: test-ratio.sh [REPO-ROOT] (default: the checkout this script is in,
# found without git, which refuses checkouts owned by another user, as in CI's containers).
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root"
count() {
  local c s
  c=$(find "$@" -type f \( -name '*.cpp' -o -name '*.hpp' -o -name '*.h' -o -name '*.mm' -o -name '*.qml' \) -print0 2>/dev/null |
      xargs -0 -r cat | grep -v -E '^[[:space:]]*($|//|/\*|\*)' | wc -l)
  s=$(find "$@" -type f \( -name '*.cmake' -o -name 'CMakeLists.txt' -o -name '*.sh' -o -name '*.py' -o -name '*.in' \
      -o \( -perm -u+x ! -name '*.*' \) \) -print0 2>/dev/null |
      xargs -0 -r cat | grep -v -E '^[[:space:]]*($|#([^!]|$))' | wc -l)
  echo $((c + s))
}
product=$(count CairnmoorCore app)
tests=$(count tests)
ratio=$(awk -v t="$tests" -v p="$product" 'BEGIN { printf "%.2f", (p > 0 ? t / p : 0) }')
printf 'product code %d lines, test code %d lines, ratio %s (aim 0.25 to 0.33); bench %d, fuzz %d\n' \
  "$product" "$tests" "$ratio" "$(count bench)" "$(count fuzz)"
