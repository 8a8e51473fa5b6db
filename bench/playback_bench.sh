#!/usr/bin/env bash
# Playback of 1440 x 1440 and 2880 x 2880 H.264 recordings at 30 frames a second: open time,
# paused seek latency, untimed playback speed next to FFmpeg decoding the same file to nothing,
# and real-time playback through tavrilo-play (frames late). Usage: bench/playback_bench.sh [build dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
source bench/common.sh
for size in 1440 2880; do
  gen play-$size.MP4 --size $size --seconds 20 --no-audio
done
with_display "$build/bench/playback_bench" "$data/play-1440.MP4" "$data/play-2880.MP4"
for size in 1440 2880; do
  f=$data/play-$size.MP4
  start=$(date +%s%N)
  ffmpeg -v error -threads 0 -i "$f" -f null - 
  end=$(date +%s%N)
  awk -v ns=$((end - start)) -v n=300 -v s=$size \
    'BEGIN { printf "ffmpeg -f null, %d x %d: %8.1f frames/s\n", s, s, n / (ns / 1e9) }'
  echo "real time, $size x $size in a 722 x 406 window:"
  with_display "$build/tools/tavrilo-play" "$f" --view sphere --stats
done
