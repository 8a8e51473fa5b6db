#!/usr/bin/env bash
# Scans a generated card of 1000 recordings in 20 folders into the recording list and the
# folder tree, cold (when the page cache can be dropped) and warm. Usage: bench/scan_bench.sh [build dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
card=$build/bench-data/card-1000
if [ ! -f "$card/.complete" ]; then
  rm -rf "$card"
  "$build/tools/tavrilo-gen" card "$card" --folders 20 --per-folder 50 --size 64 --seconds 1 >&2
  touch "$card/.complete"
fi
if sync && echo 3 >/proc/sys/vm/drop_caches 2>/dev/null; then
  echo "cold cache:"
  "$build/bench/scan_bench" "$card" 1
else
  echo "(page cache cannot be dropped here: warm figures only)"
fi
echo "warm cache:"
"$build/bench/scan_bench" "$card" 5
