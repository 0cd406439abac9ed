#!/usr/bin/env bash
# Times quavix batch over a folder that holds a large earlier set: a rerun with
# the same count (every file replaced) and one with a smaller count (the rest
# of the earlier set taken away). The sounds are empty (a buffer of 0 s), so
# that the time is the folder's work, not the synthesis.
#   bench/batch_rerun.sh [TOOL] [COUNT]   (default build/release/cli/quavix, 100000)
set -euo pipefail
cd "$(dirname "$0")/.."
tool=$(realpath "${1:-build/release/cli/quavix}")
count=${2:-100000}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
batch() { "$tool" batch --csv 1 --buffer-length 0 --seed 1 --name s --out-dir "$scratch/o" --count "$@" 2>/dev/null; }
seconds() {
  local start end
  start=$(date +%s.%N)
  batch "$@"
  end=$(date +%s.%N)
  echo "$end - $start" | bc
}
batch "$count"
echo "rerun of $count over $count files: $(seconds "$count") s"
echo "rerun of 10 over $count files: $(seconds 10) s"
