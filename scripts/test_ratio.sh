#!/bin/sh
# Prints the lines of tests against the lines of code: non-blank lines that
# are not comments, of the C++ files under src/ and sim/ and of the C++ and
# JavaScript files under tests/ (golden files and fuzz corpora are data).
set -eu
cd "$(dirname "$0")/.."
lines() {
  git ls-files -- "$@" | xargs cat | grep -v -E '^[[:space:]]*(//.*)?$' | wc -l
}
code=$(lines 'src/*.cpp' 'src/*.hpp' 'sim/*.cpp' 'sim/*.hpp')
tests=$(lines 'tests/*.cpp' 'tests/*.hpp' 'tests/*.mjs')
printf 'code (src/, sim/): %d lines\ntests (tests/):     %d lines\nratio:              %d%%\n' \
  "$code" "$tests" $((100 * tests / code))
for folder in server link operations integration e2e sim fuzz support; do
  printf '  tests/%-12s %4d\n' "$folder" \
    "$(lines "tests/$folder/*.cpp" "tests/$folder/*.hpp" "tests/$folder/*.mjs" 2>/dev/null || echo 0)"
done
