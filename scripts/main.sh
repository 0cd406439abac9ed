#!/usr/bin/env bash
# The main job: installs what is missing, builds the quavix tool (tool
# preset) and renders one sound of each preset family into out/, then lists
# them. QUAVIX_SEED picks the seed (default 1), so the sounds are repeatable.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh main

cmake --preset tool >/dev/null
cmake --build --preset tool -j "$(nproc)"

quavix=build/tool/cli/quavix
seed="${QUAVIX_SEED:-1}"
mkdir -p out
for family in coin laser explosion powerup hurt jump blip; do
  "$quavix" render --preset "$family" --seed "$seed" -o "out/$family.wav" --save-sfs "out/$family.sfs"
done

# Each file's rate and length come from its own header: the rate at byte 24,
# the data's size at byte 40, two bytes a sample.
rate=$(od -An -t u4 -j 24 -N 4 out/coin.wav | tr -d ' ')
echo "Rendered with seed $seed into out/ ($rate Hz, 16-bit mono):"
for wav in out/*.wav; do
  samples=$(( $(od -An -t u4 -j 40 -N 4 "$wav") / 2 ))
  awk -v f="$wav" -v n="$samples" -v r="$rate" 'BEGIN { printf "  %-18s %8d samples  %6.3f s\n", f, n, n / r }'
done
