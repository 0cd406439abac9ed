#!/usr/bin/env bash
# Builds Quavix Studio in both forms, the static folder (studio/dist/) and one
# self-contained HTML file that works opened from disk, prints the file's
# path, and serves the folder on http://127.0.0.1:PORT until stopped.
#   bash scripts/studio.sh [PORT]     (default 5178)
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh test
cmake --preset wasm >/dev/null
cmake --build --preset wasm -j "$(nproc)"   # js/quavix.wasm, the core the Studio runs
(cd studio && npm ci --no-audit --no-fund && npm run build >/dev/null)
echo "Single HTML file: $PWD/studio/dist/quavix-studio.html"
exec node studio/scripts/serve.mjs "${1:-${PORT:-5178}}"
