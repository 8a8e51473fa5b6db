#!/usr/bin/env bash
# Frames drawn per second in each view for 1440 x 1440 and 2880 x 2880 recordings.
# Usage: bench/draw_bench.sh [build dir]   (starts Xvfb when there is no display)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
source bench/common.sh
for size in 1440 2880; do
  gen draw-$size.MP4 --size $size --seconds 0.2 --no-audio
done
with_display "$build/bench/draw_bench" "$data/draw-1440.MP4" "$data/draw-2880.MP4"
