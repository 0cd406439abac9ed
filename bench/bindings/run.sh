#!/usr/bin/env bash
# Times the seven presets through the C library, the Python package and the
# LÖVE module. Run after the release tests (ctest --preset release -L bindings),
# which leave an installation and a virtual environment under
# build/release/tests/bindings/python (the environment in source/venv).
set -euo pipefail
cd "$(dirname "$0")/../.."
work=build/release/tests/bindings/python
prefix=$work/prefix
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cc -O2 -std=c99 bench/bindings/seven_presets.c -I"$prefix/include" "$prefix/lib/libquavix.so.1" \
  -Wl,-rpath,"$PWD/$prefix/lib" -o "$scratch/seven_presets"
"$scratch/seven_presets"
QUAVIX_LIBRARY=$PWD/$prefix/lib/libquavix.so.1 "$work/source/venv/bin/python" bench/bindings/seven_presets.py
cp -r bench/bindings/love "$scratch/game"
cp love/quavix.lua "$scratch/game/"
# The headless configuration of the LÖVE test: no window, no graphics.
cp tests/bindings/love/conf.lua "$scratch/game/"
QUAVIX_LIBRARY=$PWD/$prefix/lib/libquavix.so.1 ALSOFT_DRIVERS=null XDG_RUNTIME_DIR=$scratch HOME=$scratch \
  love "$scratch/game" 2>/dev/null | grep seven
