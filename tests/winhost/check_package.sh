#!/usr/bin/env bash
# Runs the README's command for the module package twice and checks the zip it makes: the same
# bytes both times; exactly the expected files, in sorted order with one fixed time; the module
# byte for byte; SHA256SUMS true; each settings file that of its preset family with seed 1; the
# guide and its HTML page with the guide's headings and tables; the licence.
# Arguments: SOURCE_DIR MODULE VERSION (the built Quavix.dll and the CMake project version).
set -euo pipefail
source_dir=$1
module=$2
version=$3
command='bash scripts/package-module.sh'

fail() {
  echo "package: $*" >&2
  exit 1
}

cd "$source_dir"
# The README gives this one command for the package (indented as a code line).
grep -qx "    $command" README.md || fail "README.md has no line '    $command'"
zip="build/dist/quavix-module-$version.zip"
quavix="$source_dir/build/release/cli/quavix"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

$command > "$scratch/first.log" 2>&1 || { cat "$scratch/first.log" >&2; fail "'$command' failed"; }
[ -f "$zip" ] || fail "'$command' made no $zip"
cp "$zip" "$scratch/first.zip"
$command > "$scratch/second.log" 2>&1 || { cat "$scratch/second.log" >&2; fail "'$command' failed the second time"; }
cmp -s "$zip" "$scratch/first.zip" || fail "two runs made different zips"

families=(coin laser explosion powerup hurt jump blip)
expected=(LICENSE Quavix.dll SHA256SUMS)
for family in "${families[@]}"; do expected+=("examples/$family.sfs"); done
expected+=(module.html module.md)
expected_list=$(printf '%s\n' "${expected[@]}" | LC_ALL=C sort)

# The archive's own order and times: names in byte order, every entry dated 2026-01-01 00:00:00.
names=$(zipinfo -1 "$zip")
[ "$names" = "$expected_list" ] || fail "zip holds, in this order:"$'\n'"$names"$'\n'"expected:"$'\n'"$expected_list"
times=$(zipinfo -T "$zip" | awk 'NF >= 8 && $1 ~ /^-/ { print $7 }' | sort -u)
[ "$times" = "20260101.000000" ] || fail "entry times are '$times', expected 20260101.000000 for all"

unpacked="$scratch/unpacked"
mkdir "$unpacked"
unzip -q "$zip" -d "$unpacked"
cd "$unpacked"

cmp -s Quavix.dll "$module" || fail "Quavix.dll differs from $module"
cmp -s module.md "$source_dir/docs/module.md" || fail "module.md differs from docs/module.md"
cmp -s LICENSE "$source_dir/LICENSE" || fail "LICENSE differs from the repository's"

# SHA256SUMS names every other file once and each sum is right.
summed=$(awk '{ print $2 }' SHA256SUMS | LC_ALL=C sort)
others=$(printf '%s\n' "$expected_list" | grep -vx SHA256SUMS)
[ "$summed" = "$others" ] || fail "SHA256SUMS covers:"$'\n'"$summed"
sha256sum --check --strict --quiet SHA256SUMS || fail "SHA256SUMS does not verify"

# Settings files: the bytes the tool saves (its format is the exchange tests'); with the random
# source seeded with 1 the families give (to five decimals) Coin StartFreq 0.40205; Laser
# WaveType 0, StartFreq 0.86136, HPCutoff 0.16308; Explosion WaveType 3, StartFreq 0.19241;
# Powerup WaveType 1, StartFreq 0.39002; Jump is always square (0), Hurt never a sine (2), Blip 0
# or 1 with HPCutoff exactly the float 0.1 (cd cc cc 3d). Offsets: WaveType 4, StartFreq 12,
# HPCutoff 77.
value_at() { od -An -t "$1" -j "$3" -N 4 "$2" | awk -v t="$1" '{ printf t == "f4" ? "%.5f" : "%s", $1 }'; }
for family in "${families[@]}"; do
  file=examples/$family.sfs
  wave=$(value_at d4 "$file" 4)
  start=$(value_at f4 "$file" 12)
  hp=$(value_at f4 "$file" 77)
  case "$family" in
    coin) [ "$wave" = 0 ] && [ "$start" = 0.40205 ] ;;
    laser) [ "$wave" = 0 ] && [ "$start" = 0.86136 ] && [ "$hp" = 0.16308 ] ;;
    explosion) [ "$wave" = 3 ] && [ "$start" = 0.19241 ] ;;
    powerup) [ "$wave" = 1 ] && [ "$start" = 0.39002 ] ;;
    hurt) [ "$wave" != 2 ] ;;
    jump) [ "$wave" = 0 ] ;;
    blip) { [ "$wave" = 0 ] || [ "$wave" = 1 ]; } && [ "$(od -An -t x1 -j 77 -N 4 "$file" | tr -d ' ')" = cdcccc3d ] ;;
  esac || fail "$file: WaveType $wave, StartFreq $start, HPCutoff $hp are not $family's with seed 1"
  # The tool reads it back as the preset's parameters: the same file bytes and settings string.
  csv=$("$quavix" render --preset "$family" --seed 1 --save-sfs "$scratch/$family.sfs" --print-csv -o /dev/null)
  info=$("$quavix" info "$file") || fail "quavix info refuses $file"
  hex=$(od -An -v -t x1 "$scratch/$family.sfs" | tr -d ' \n')
  grep -qx "settings file: *$hex" <<<"$info" || fail "$file is not what --preset $family --seed 1 saves"
  grep -qx "settings string: $csv (rounded to 4 decimals)" <<<"$info" ||
    fail "quavix info $file does not give the settings string of --preset $family --seed 1 ($csv)"
done

# module.html: a whole page; the guide's headings (outside its indented code lines) at their
# levels with their texts (inline code marks dropped), in order; as many tables as the guide
# has delimiter rows, the first one with its header cells.
grep -q '^<!DOCTYPE html>' module.html || fail "module.html is no HTML page"
grep -qx '<title>Quavix in the event editor</title>' module.html || fail "module.html has no title"
md_headings=$(grep -E '^#{1,6} ' module.md | sed -E 's/^(#+) (.*)$/\1 \2/' |
  awk '{ level = length($1); $1 = ""; sub(/^ /, ""); gsub(/`/, ""); print level " " $0 }')
html_headings=$(grep -oE '<h[1-6]>.*</h[1-6]>' module.html |
  sed -E 's|^<h([1-6])>(.*)</h[1-6]>$|\1 \2|; s/<[^>]*>//g; s/&quot;/"/g; s/&lt;/</g; s/&gt;/>/g; s/&amp;/\&/g')
[ -n "$md_headings" ] || fail "module.md has no headings"
[ "$html_headings" = "$md_headings" ] ||
  fail "module.html's headings differ from module.md's:"$'\n'"$(diff <(echo "$md_headings") <(echo "$html_headings") || true)"
tables=$(grep -c '^|[- :|]*---[- :|]*$' module.md)
[ "$tables" -ge 1 ] || fail "module.md has no table"
[ "$(grep -c '^<table>' module.html)" = "$tables" ] || fail "module.html does not have the guide's $tables tables"
grep -qx '<th>Buffer length</th>' module.html && grep -qx '<td>5 (default)</td>' module.html ||
  fail "module.html lacks the buffer length table's cells"

echo "package: $zip: ${#expected[@]} files checked"
