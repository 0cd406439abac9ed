#!/usr/bin/env bash
# Installs the Debian packages a job needs: "setup.sh main" only what building
# the quavix tool takes (scripts/main.sh), "setup.sh test" (the default) also
# what the tests, the cross builds, the module under Wine and the packages'
# tests take. Safe to run repeatedly: it only calls apt when something is missing.
set -euo pipefail

job=${1:-test}
case "$job" in
  main|test) ;;
  *) echo "usage: setup.sh [main|test]" >&2; exit 2 ;;
esac

packages=(
  build-essential cmake ninja-build pkg-config
  libcli11-dev nlohmann-json3-dev libsndfile1-dev libsoxr-dev libebur128-dev libflac-dev
  nettle-dev libfftw3-dev
)
need_wine=0
if [ "$job" = test ]; then
  need_wine=1
  packages+=(
  libgtest-dev libgmock-dev libbenchmark-dev
  sox                   # the match benchmark makes a chirp and a noise burst
  clang libclang-rt-14-dev
  g++-mingw-w64-i686 binutils-mingw-w64-i686
  libmpfr-dev
  g++-aarch64-linux-gnu qemu-user-static googletest
  locales
  cmark-gfm zip unzip   # the module package, scripts/package-module.sh
  python3-venv python3-setuptools python3-wheel python3-pip python3-numpy python3-pytest python3-pygame
  libsdl2-dev libsdl2-mixer-dev love
  godot3-server   # the Studio's Godot files, studio/tests/unit/export.test.ts
  chromium
  clang-14 lld-14 wasi-libc libc++-14-dev-wasm32 libc++abi-14-dev-wasm32 libclang-rt-14-dev-wasm32
  )
fi
# Node 18 (unpacked below for the JavaScript package's oldest-Node test) loads
# these from /usr/share/nodejs.
[ "$job" = test ] && packages+=(node-acorn node-cjs-module-lexer node-undici)
# The JavaScript package's tests run in Node; a machine that has one keeps it.
if [ "$job" = test ] && { ! command -v node >/dev/null || ! command -v npm >/dev/null; }; then
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
  # A mirror in the middle of a sync can fail one list; the install below then
  # says whether what was fetched is enough.
  apt-get update -qq || echo "setup: some package lists could not be fetched; installing from the rest" >&2
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

[ "$job" = main ] && exit 0

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

# Node 18, the oldest Node the JavaScript package supports, for its test:
# Debian's own build, unpacked beside the installed Node (not installed over it).
node18=/opt/quavix/node18
if [ ! -x "$node18/usr/bin/node" ]; then
  echo "setup: unpacking Debian's Node 18 into $node18" >&2
  scratch=$(mktemp -d)
  version=$(apt-cache madison nodejs | awk '$3 ~ /^18\./ { print $3; exit }')
  if [ -n "$version" ] && (cd "$scratch" && apt-get download -qq "nodejs=$version" "libnode108=$version" 2>/dev/null); then
    mkdir -p "$node18"
    for deb in "$scratch"/*.deb; do dpkg -x "$deb" "$node18"; done
    printf '#!/bin/sh\nLD_LIBRARY_PATH=%s/usr/lib/x86_64-linux-gnu exec %s/usr/bin/node "$@"\n' "$node18" "$node18" > "$node18/node"
    chmod +x "$node18/node"
  else
    echo "setup: no Node 18 in the Debian archive; its test will be skipped" >&2
  fi
  rm -rf "$scratch"
fi

# The JavaScript package's test tools (bundlers, the TypeScript compiler, the
# browser driver), from their lockfile.
root=$(cd "$(dirname "$0")/.." && pwd)
if [ ! -d "$root/js/test/consumers/node_modules" ]; then
  (cd "$root/js/test/consumers" && npm ci --no-audit --no-fund >/dev/null)
fi
