#!/usr/bin/env bash
# Installs the Debian packages the build, tests and cross build need.
# Safe to run repeatedly: it only calls apt when something is missing.
set -euo pipefail

need_wine=1
for arg in "$@"; do
  case "$arg" in
    --no-wine) need_wine=0 ;;
  esac
done

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev nlohmann-json3-dev libsndfile1-dev libsoxr-dev libebur128-dev libflac-dev
  clang libclang-rt-14-dev
  g++-mingw-w64-i686 binutils-mingw-w64-i686
  libmpfr-dev
  g++-aarch64-linux-gnu qemu-user-static googletest
  locales
  chromium
  clang-14 lld-14 wasi-libc libc++-14-dev-wasm32 libc++abi-14-dev-wasm32 libclang-rt-14-dev-wasm32
)
# The JavaScript package's tests run in Node; a machine that has one keeps it.
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  packages+=(nodejs npm)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

wine_missing=0
if [ "$need_wine" = 1 ]; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    wine_missing=1
  fi
  for p in wine wine32:i386; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || { missing+=("$p"); wine_missing=1; }
  done
fi

if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# A German locale (decimal comma) for the test that checks the settings string
# keeps its decimal point whatever the regional settings.
if ! locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8'; then
  echo "setup: generating the de_DE.UTF-8 locale" >&2
  localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi

# qemu-i386 10.x for the module's Wine test: its route on a kernel that refuses
# 32-bit programs, and its emulated run wherever a user namespace can have a
# binfmt_misc of its own. A failed fetch is not fatal: the test then says why
# it cannot run.
if [ "$need_wine" = 1 ]; then
  needs_qemu=0
  bash "$(dirname "$0")/probe-32bit.sh" >/dev/null 2>&1 || needs_qemu=1
  # shellcheck source=binfmt-i386.sh
  . "$(dirname "$0")/binfmt-i386.sh"
  binfmt_private_possible && needs_qemu=1
  if [ "$needs_qemu" = 1 ]; then
    bash "$(dirname "$0")/setup-qemu-i386.sh" >/dev/null || echo "setup: continuing without qemu-i386" >&2
  fi
fi
