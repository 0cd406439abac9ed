#!/usr/bin/env bash
# Counts the lines of the tests against the lines of the code, every line of
# every tracked source file (blank and comment lines too; data, prose, lock
# files and fuzz corpora are not source):
#   tests: tests/ fuzz/ js/test/ js/testing/ studio/tests/ python/tests/
#   code:  src/ cli/ include/ js/ (less its tests, benchmarks and examples)
#          studio/src/ python/quavix/ love/
# Prints "tests N, code N, ratio R".
set -euo pipefail
cd "$(dirname "$0")/.."

lines() {
  git ls-files -z -- "$@" |
    grep -zE '\.(c|h|cpp|hpp|inc|def|rc|map|in|cmake|sh|py|lua|js|mjs|cjs|ts|mts|cts|css|html)$|(^|/)CMakeLists\.txt$' |
    xargs -0r cat | wc -l
}
tests=$(lines tests fuzz js/test js/testing studio/tests python/tests)
code=$(lines src cli include js ":!js/test" ":!js/testing" ":!js/bench" ":!js/examples" studio/src python/quavix love)
awk -v t="$tests" -v c="$code" 'BEGIN { printf "tests %d, code %d, ratio %.3f\n", t, c, t / c }'
