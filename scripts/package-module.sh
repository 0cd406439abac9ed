#!/usr/bin/env bash
# Builds the module package build/dist/quavix-module-VERSION.zip (VERSION: the CMake project
# version) with
#   Quavix.dll           the 32-bit Windows module of the win32 preset
#   module.md            the user guide, and module.html, the same rendered by cmark-gfm
#   examples/FAMILY.sfs  one settings file per preset family: quavix render --preset FAMILY --seed 1
#   LICENSE              the MIT licence
#   SHA256SUMS           the SHA-256 of every other file (sha256sum -c SHA256SUMS checks them)
# Builds the module and the quavix tool first where needed (win32 and release presets). The same
# sources give the same bytes: the entries are in sorted order, all with one fixed time and mode
# and no extra attributes (owner, access times).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh test

# Each preset is configured once; its build runs CMake again by itself when a CMake file changed.
for preset in win32 release; do
  [ -f "build/$preset/CMakeCache.txt" ] || cmake --preset "$preset" >/dev/null
done
cmake --build --preset win32 --target Quavix
cmake --build --preset release --target quavix

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' build/win32/CMakeCache.txt)
if [ -z "$version" ]; then
  echo "package-module: no project version in build/win32/CMakeCache.txt" >&2
  exit 1
fi
quavix=build/release/cli/quavix
name="quavix-module-$version"
dist=build/dist
zip="$dist/$name.zip"
stage="$dist/$name"

rm -rf "$stage"
mkdir -p "$stage/examples"
cp build/win32/Quavix.dll LICENSE "$stage/"
cp docs/module.md "$stage/module.md"

# A whole page around cmark-gfm's rendering, with the GitHub table extension for the guide's
# tables; its title is the guide's first heading.
title=$(sed -n 's/^# //p' docs/module.md | head -n 1 | sed 's/&/\&amp;/g; s/</\&lt;/g; s/>/\&gt;/g')
{
  printf '<!DOCTYPE html>\n<html lang="en">\n<head>\n<meta charset="utf-8">\n'
  printf '<meta name="viewport" content="width=device-width, initial-scale=1">\n'
  printf '<title>%s</title>\n' "$title"
  printf '<style>\n'
  printf 'body { max-width: 50em; margin: 1em auto; padding: 0 1em; font-family: sans-serif; line-height: 1.4; }\n'
  printf 'table { border-collapse: collapse; }\n'
  printf 'th, td { border: 1px solid #999; padding: 0.2em 0.5em; text-align: left; }\n'
  printf 'pre { background: #f4f4f4; padding: 0.5em; overflow-x: auto; }\n'
  printf '</style>\n</head>\n<body>\n'
  cmark-gfm --extension table --to html docs/module.md
  printf '</body>\n</html>\n'
} > "$stage/module.html"

for family in coin laser explosion powerup hurt jump blip; do
  "$quavix" render --preset "$family" --seed 1 --save-sfs "$stage/examples/$family.sfs" -o /dev/null
done

files=$(cd "$stage" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
(cd "$stage" && sha256sum $files > SHA256SUMS)

# Fixed metadata: every file 0644 and dated 2026-01-01 00:00:00 (zip keeps local time: UTC here),
# names in byte order, no directory entries (-D), no extra attributes (-X).
export TZ=UTC
find "$stage" -type f -exec chmod 0644 {} + -exec touch -d '2026-01-01 00:00:00' {} +
rm -f "$zip"
(cd "$stage" && find . -type f | sed 's|^\./||' | LC_ALL=C sort | zip -q -X -D -9 -@ "../$name.zip")
rm -rf "$stage"

echo "package-module: $zip ($(stat -c %s "$zip") bytes)"
