#!/usr/bin/env bash
# Installs what the tests need, builds every preset and runs all their tests:
# release (with the exhaustive sine), the WebAssembly module through the
# JavaScript package in Node, Quavix Studio in headless Chromium, debug (ASan +
# UBSan, on the tests a sanitizer can say something about), aarch64 under
# qemu-aarch64-static, fuzz (each target briefly over its corpus) and the
# 32-bit Windows module: its binary contract, and the module itself under Wine,
# natively where the kernel runs 32-bit programs, else under qemu-i386; where
# the kernel runs them natively and allows private binfmt_misc, once more as on
# a kernel that refuses them. Every stage writes JUnit reports into
# build/reports, and one counter (scripts/count-results.py) makes the last
# line: what ran, how the module ran, what passed, failed and was skipped, and why.
set -uo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh test || exit 1

jobs=$(nproc)
reports=$PWD/build/reports
rm -rf "$reports"
mkdir -p "$reports"
ran=()

# fail_report NAME WHY: a report of one failed case, for a stage that could not run its tests.
fail_report() {
  printf '<testsuite name="%s" tests="1"><testcase name="%s"><failure message="%s"/></testcase></testsuite>\n' \
    "$1" "$1" "$2" >"$reports/$1.xml"
}

# stage LABEL REPORT...: adds LABEL with its count of cases and the seconds it
# took (building and testing, from its .start- file) to the summary.
stage() {
  local label=$1 total seconds
  shift
  total=$(python3 scripts/count-results.py "$@" | head -n 1 | cut -d' ' -f1)
  seconds=$(($(date +%s) - $(stat -c %Y "$reports/.start-$label")))
  ran+=("$label (${total}, ${seconds} s$(module_route "$label"))")
}

# module_route LABEL: "; the module ran HOW" for the stages that ran it under Wine.
module_route() {
  local f how=""
  [ -f "$reports/.start-$1" ] || return 0
  for f in build/win32/wineprefix*.route; do
    [ -f "$f" ] && [ "$f" -nt "$reports/.start-$1" ] && how=$(cat "$f")
  done
  [ -z "$how" ] || echo "; the module ran $how"
}

summary() {
  local counts total fails skips reasons
  counts=$(python3 scripts/count-results.py "$reports"/*.xml)
  read -r total fails skips <<<"$(head -n 1 <<<"$counts")"
  reasons=$(sed -n 's/^skipped\t\([^\t]*\)\t\(.*\)/\1: \2/p' <<<"$counts" | paste -sd ';' | sed 's/;/; /g')
  echo "test.sh: ran ${ran[*]:-nothing}: $((total - fails - skips)) passed, $fails failed, $skips skipped${reasons:+ ($reasons)}"
  [ "$fails" = 0 ] && [ "$total" -gt "$skips" ]
}

# run_preset NAME [CTEST ARGS...]: configure, build and test one preset.
run_preset() {
  local preset=$1
  shift
  echo "== $preset" >&2
  touch "$reports/.start-$preset"
  if ! cmake --preset "$preset" >/dev/null || ! cmake --build --preset "$preset" -j "$jobs"; then
    fail_report "$preset" "build failed"
  else
    ctest --preset "$preset" -j "$jobs" --output-junit "$reports/$preset.xml" "$@" ||
      [ -f "$reports/$preset.xml" ] || fail_report "$preset" "ctest wrote no report"
  fi
  stage "$preset" "$reports/$preset.xml"
  ! grep -q '<failure' "$reports/$preset.xml"
}

# run_module_emulated LABEL COMMAND...: the win32 preset's module test once more
# under COMMAND, which makes the kernel refuse 32-bit programs.
run_module_emulated() {
  local label=$1
  shift
  echo "== $label" >&2
  touch "$reports/.start-$label"
  "$@" ctest --preset win32 -R '^winhost\.module$' --output-junit "$reports/$label.xml" ||
    [ -f "$reports/$label.xml" ] || fail_report "$label" "ctest wrote no report"
  # Passing natively here would test nothing new.
  if [ -z "$(module_route "$label" | grep 'under qemu-i386')" ]; then
    fail_report "$label" "the module did not run under qemu-i386"
  fi
  stage "$label" "$reports/$label.xml"
  ! grep -q '<failure' "$reports/$label.xml"
}

# run_studio: builds Quavix Studio (studio/, on the wasm preset's module), lints
# it and runs its unit tests and its browser tests in headless Chromium, which
# compare with the release build's tool.
run_studio() {
  echo "== studio" >&2
  touch "$reports/.start-studio"
  if ! (cd studio && npm ci --no-audit --no-fund >/dev/null && npm run build >/dev/null); then
    fail_report studio "the Studio did not build"
  elif ! (cd studio && npm run --silent lint); then
    # ESLint and Prettier's check of the TypeScript, the tests and the scripts.
    fail_report studio "lint failed"
  else
    (cd studio && npx vitest run --reporter=default --reporter=junit --outputFile.junit="$reports/studio-unit.xml") ||
      [ -f "$reports/studio-unit.xml" ] || fail_report studio-unit "vitest wrote no report"
    (cd studio && QUAVIX_NATIVE_CLI="$PWD/../build/release/cli/quavix" node --test \
      --test-reporter=spec --test-reporter-destination=stdout \
      --test-reporter=junit --test-reporter-destination="$reports/studio-e2e.xml" tests/e2e/) ||
      grep -q '<failure' "$reports/studio-e2e.xml" 2>/dev/null || fail_report studio-e2e "the browser tests failed outside a test"
  fi
  stage studio "$reports"/studio*.xml
  ! grep -q '<failure' "$reports"/studio*.xml
}

# release builds the tool that the wasm and studio stages compare with.
for preset in release wasm studio debug aarch64 fuzz win32; do
  case $preset in
    studio) run_studio ;;
    *) run_preset "$preset" ;;
  esac || { summary; exit 1; }
done
# As on a kernel that refuses 32-bit programs: wine-run.sh then picks
# qemu-i386 by itself. Where this kernel cannot make such namespaces, the
# emulated route runs only where the machine needs it, in the win32 stage.
if bash scripts/without-32bit.sh true >/dev/null; then
  run_module_emulated win32-without-32bit bash scripts/without-32bit.sh || { summary; exit 1; }
fi
summary
