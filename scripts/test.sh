#!/usr/bin/env bash
# Installs what is missing, builds every preset and runs all their tests:
# release, debug (ASan + UBSan), fuzz (each target briefly over its corpus),
# the WebAssembly module through the JavaScript package in Node (compared with
# the release build's tool), Quavix Studio in headless Chromium, and the 32-bit
# Windows module (its binary contract, and the module itself under Wine: natively
# where the kernel runs 32-bit programs, else under qemu-i386, and under both
# routes of emulation wherever the kernel allows private binfmt_misc). Ends with
# one line of what ran, how the module ran, what passed and was skipped, and why.
set -uo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh || exit 1

jobs=$(nproc)
ran=()
passed=0
failed=0
skipped=0
reasons=()

summary() {
  local line="test.sh: ran ${ran[*]:-nothing}: $passed passed, $failed failed, $skipped skipped"
  if [ "${#reasons[@]}" -gt 0 ]; then
    line+=" ($(IFS=';'; echo "${reasons[*]}" | sed 's/;/; /g'))"
  fi
  echo "$line"
}

# count_report LABEL REPORT STATUS: adds the results of CTest's JUnit report
# REPORT to the totals under LABEL, with the reason of each skipped test; STATUS
# is CTest's exit status. Fails if the tests failed.
count_report() {
  local label=$1 report=$2 status=$3
  if [ ! -f "$report" ]; then
    ran+=("$label (no test report)")
    failed=$((failed + 1))
    return 1
  fi
  local total fails skips
  total=$(sed -n 's/^[[:space:]]*tests="\([0-9]*\)".*/\1/p' "$report" | head -n 1)
  fails=$(sed -n 's/^[[:space:]]*failures="\([0-9]*\)".*/\1/p' "$report" | head -n 1)
  skips=$(sed -n 's/^[[:space:]]*skipped="\([0-9]*\)".*/\1/p' "$report" | head -n 1)
  # How the 32-bit module ran, where it did: wine-run.sh says it in one line.
  local how
  how=$(sed -n 's/.*wine-run: ran \([^&<]*\).*/\1/p' "$report" | head -n 1)
  ran+=("$label ($total${how:+; the module ran $how})")
  passed=$((passed + total - fails - skips))
  failed=$((failed + fails))
  skipped=$((skipped + skips))
  # A skipped test says why on a line "...: skipped: REASON" of its output.
  local name why
  while IFS=$'\t' read -r name why; do
    reasons+=("$name: ${why:-no reason given}")
  done < <(awk '
    /<testcase / { match($0, /name="[^"]*"/); name = substr($0, RSTART + 6, RLENGTH - 7); skip = 0; why = "" }
    /<skipped/ { skip = 1 }
    skip && why == "" && /skipped: / { why = $0; sub(/.*skipped: /, "", why) }
    /<\/testcase>/ { if (skip) print name "\t" why; skip = 0 }
  ' "$report")
  [ "$status" = 0 ]
}

# run_preset NAME [CTEST ARGS...]: configure, build and test one preset.
run_preset() {
  local preset=$1
  shift
  echo "== $preset" >&2
  local report="$PWD/build/$preset/test-results.xml"
  rm -f "$report"
  if ! cmake --preset "$preset" >/dev/null || ! cmake --build --preset "$preset" -j "$jobs"; then
    ran+=("$preset (build failed)")
    failed=$((failed + 1))
    return 1
  fi
  ctest --preset "$preset" --output-junit "$report" "$@"
  count_report "$preset" "$report" $?
}

# run_module_emulated LABEL COMMAND...: runs the win32 preset's module test
# again under COMMAND (with its environment), to keep the emulated routes of
# scripts/wine-run.sh tested on machines that run 32-bit programs natively.
run_module_emulated() {
  local label=$1
  shift
  echo "== $label" >&2
  local report="$PWD/build/win32/test-results-$label.xml"
  rm -f "$report"
  "$@" ctest --preset win32 -R '^winhost\.module$' --output-on-failure --output-junit "$report"
  local status=$?
  # Passing natively here would test nothing new.
  if [ -f "$report" ] && ! grep -q 'wine-run: ran under qemu-i386' "$report"; then
    echo "test.sh: $label did not run the module under qemu-i386" >&2
    status=1
  fi
  count_report "$label" "$report" "$status"
}

# run_studio: builds Quavix Studio (studio/, on the wasm preset's module), lints
# it and runs its unit tests and its browser tests in headless Chromium, which compare
# with the release build's tool; counts each test case from their JUnit reports.
run_studio() {
  echo "== studio" >&2
  local reports="$PWD/build/studio"
  mkdir -p "$reports"
  rm -f "$reports/unit.xml" "$reports/e2e.xml"
  if ! (cd studio && npm ci --no-audit --no-fund >/dev/null && npm run build >/dev/null); then
    ran+=("studio (build failed)")
    failed=$((failed + 1))
    return 1
  fi
  # ESLint and Prettier's check of the TypeScript, the tests and the scripts.
  if ! (cd studio && npm run --silent lint); then
    ran+=("studio (lint failed)")
    failed=$((failed + 1))
    return 1
  fi
  (cd studio && npx vitest run --reporter=default --reporter=junit --outputFile.junit="$reports/unit.xml")
  local unit=$?
  (cd studio && QUAVIX_NATIVE_CLI="$PWD/../build/release/cli/quavix" node --test \
    --test-reporter=spec --test-reporter-destination=stdout \
    --test-reporter=junit --test-reporter-destination="$reports/e2e.xml" tests/e2e/)
  local e2e=$?
  local total fails skips
  read -r total fails skips < <(node studio/scripts/junit-count.mjs "$reports"/unit.xml "$reports"/e2e.xml 2>/dev/null || echo "0 0 0")
  # A runner that failed without a failing case (a crash, a missing report) is one failure more.
  if { [ "$unit" != 0 ] || [ "$e2e" != 0 ]; } && [ "$fails" = 0 ]; then fails=1; total=$((total + 1)); fi
  ran+=("studio ($total)")
  passed=$((passed + total - fails - skips))
  failed=$((failed + fails))
  skipped=$((skipped + skips))
  [ "$fails" = 0 ]
}

# The release run includes the exhaustive sine test (label exhaustive) and
# builds the tool the wasm and studio tests compare with; the aarch64 tests run
# under qemu-aarch64-static.
for preset in release wasm studio debug aarch64 fuzz win32; do
  if [ "$preset" = studio ]; then
    run_studio && continue
    summary
    exit 1
  fi
  if ! run_preset "$preset"; then
    summary
    exit 1
  fi
done
# The module under emulation as well: as on a kernel that refuses 32-bit
# programs (there wine-run.sh picks qemu-i386 in a private user namespace), and
# by the direct route. Where this kernel cannot make such namespaces, the
# emulated routes run only where the machine needs them.
if bash scripts/without-32bit.sh true >/dev/null; then
  run_module_emulated win32-without-32bit bash scripts/without-32bit.sh env QUAVIX_WINE_ROUTE=auto || { summary; exit 1; }
  run_module_emulated win32-direct bash scripts/without-32bit.sh env QUAVIX_WINE_ROUTE=direct || { summary; exit 1; }
fi
summary
if [ "$failed" != 0 ] || [ "$passed" = 0 ]; then
  exit 1
fi
