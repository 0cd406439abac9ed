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

echo "Rendered with seed $seed into out/ (44100 Hz, 16-bit mono):"
for wav in out/*.wav; do
  bytes=$(stat -c %s "$wav")
  samples=$(( (bytes - 44) / 2 ))
  awk -v f="$wav" -v n="$samples" 'BEGIN { printf "  %-18s %8d samples  %6.3f s\n", f, n, n / 44100 }'
done
