#!/usr/bin/env bash
# Frames drawn per second in each view for 1440 x 1440 and 2880 x 2880 recordings.
# Usage: bench/draw_bench.sh [build dir]   (starts Xvfb when there is no display)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
data=$build/bench-data
mkdir -p "$data"
for size in 1440 2880; do
  f=$data/draw-$size.MP4
  [ -f "$f" ] || "$build/tools/tavrilo-gen" recording "$f" --size $size --seconds 0.2 --no-audio >&2
done
run=("$build/bench/draw_bench" "$data/draw-1440.MP4" "$data/draw-2880.MP4")
if [ -z "${DISPLAY:-}" ]; then
  xvfb-run -a -s "-screen 0 1280x1024x24" "${run[@]}"
else
  "${run[@]}"
fi
