#!/usr/bin/env bash
# Installs what is missing, builds every preset this machine can run and runs
# all their tests: release, debug (ASan + UBSan) and the 32-bit Windows build
# under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

jobs=$(nproc)
for preset in release debug; do
  echo "== $preset" >&2
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
done

echo "== fuzz (each target briefly over its corpus)" >&2
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs"
ctest --preset fuzz

echo "== win32" >&2
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$jobs"
if [ -f build/win32/CTestTestfile.cmake ] && grep -q add_test -r build/win32 --include=CTestTestfile.cmake; then
  ctest --preset win32
fi
