#!/usr/bin/env bash
# check_guide.sh TOOL GUIDE: quavix-param-guide --check accepts the guide, exits 1 on a copy with
# one figure, generated row or templated heading changed (and writing that copy restores the
# guide), and exits 2 on a broken or unknown marker.
set -u
tool=$1 guide=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"$tool" "$guide" --check || { echo "FAIL: $guide differs from the core"; exit 1; }
failed=0
cases=(
  '1 s/<!--hz.offset-->3.528/<!--hz.offset-->3.529/'
  '1 s/^| 1 | 41,000 samples/| 1 | 41,001 samples/'
  '1 s/^### `FreqHz` sounds 3.528 Hz/### `FreqHz` sounds 3.5 Hz/'
  '1 s/^| 0 | "(UNUSED) Add/| 0 | "(unused) Add/'
  '1 s/default 0.36 |/default 0.37 |/'
  '2 0,/<!--\/-->/s/<!--\/-->//'
  '2 s/<!--hz.offset-->/<!--hz.offsets-->/'
  '2 s/^<!-- end of buffer table -->$//'
  '2 s/^<!-- item numbers -->$/<!-- item number -->/'
)
for entry in "${cases[@]}"; do
  expected=${entry%% *} edit=${entry#* }
  sed "$edit" "$guide" > "$scratch/guide.md"
  if cmp -s "$guide" "$scratch/guide.md"; then
    echo "FAIL: $edit changes nothing"; failed=1; continue
  fi
  "$tool" "$scratch/guide.md" --check 2>/dev/null
  status=$?
  [ "$status" = "$expected" ] || { echo "FAIL: $edit: exit $status, not $expected"; failed=1; }
  if [ "$expected" = 1 ]; then
    "$tool" "$scratch/guide.md" && cmp -s "$guide" "$scratch/guide.md" ||
      { echo "FAIL: $edit: writing the copy does not give the guide back"; failed=1; }
  fi
done
exit "$failed"
