#!/bin/sh
# Prints the lines of tests against the lines of code: non-blank lines that
# are not comments. Code is what ships: the C++ of src/ and sim/, and the
# simulator's page script. Tests are every program under tests/: the C++,
# JavaScript and shell of the unit, integration, end-to-end and fuzz tests
# and their support; golden files and fuzz corpora are data, and the
# stand-in Mac (scripts/mac_standin) is a build tool, not a test.
set -eu
cd "$(dirname "$0")/.."
# The C++ and JavaScript files named, then the shell scripts, each without
# its own kind of comment line.
lines() {
  c=$(git ls-files -- "$@" | grep -v '\.sh$' | xargs cat |
    grep -v -E '^[[:space:]]*(//.*)?$' | wc -l)
  sh=$(git ls-files -- "$@" | grep '\.sh$' | xargs cat |
    grep -v -E '^[[:space:]]*(#.*)?$' | wc -l)
  echo $((c + sh))
}
code=$(lines 'src/*.cpp' 'src/*.hpp' 'sim/*.cpp' 'sim/*.hpp' 'sim/*.js')
tests=$(lines 'tests/*.cpp' 'tests/*.hpp' 'tests/*.mjs' 'tests/*.sh')
printf 'code (src/, sim/): %d lines\ntests (tests/):     %d lines\nratio:              %d%%\n' \
  "$code" "$tests" $((100 * tests / code))
for folder in server link operations integration e2e sim fuzz support; do
  printf '  tests/%-12s %4d\n' "$folder" \
    "$(lines "tests/$folder/*.cpp" "tests/$folder/*.hpp" "tests/$folder/*.mjs" "tests/$folder/*.sh")"
done
