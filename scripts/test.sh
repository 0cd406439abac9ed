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

# The release run above includes the exhaustive sine test (label exhaustive).
echo "== aarch64 (cross build, tests under qemu-aarch64-static)" >&2
cmake --preset aarch64 >/dev/null
cmake --build --preset aarch64 -j "$jobs"
ctest --preset aarch64 -j "$jobs"

echo "== fuzz (each target briefly over its corpus)" >&2
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs"
ctest --preset fuzz

echo "== win32" >&2
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$jobs"
# The module's tests under Wine (the prefix is created on first use) and the
# check of its import table.
ctest --preset win32
