#!/usr/bin/env bash
# Playback of 1440 x 1440 and 2880 x 2880 H.264 recordings at 30 frames a second: open time,
# paused seek latency, untimed playback speed next to FFmpeg decoding the same file to nothing,
# and real-time playback through tavrilo-play (frames late). Usage: bench/playback_bench.sh [build dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
data=$build/bench-data
mkdir -p "$data"
for size in 1440 2880; do
  f=$data/play-$size.MP4
  [ -f "$f" ] || "$build/tools/tavrilo-gen" recording "$f" --size $size --seconds 10 --no-audio >&2
done
run() { if [ -z "${DISPLAY:-}" ]; then xvfb-run -a -s "-screen 0 1280x1024x24" "$@"; else "$@"; fi; }
run "$build/bench/playback_bench" "$data/play-1440.MP4" "$data/play-2880.MP4" 2>&1 | grep -v XDG_RUNTIME
for size in 1440 2880; do
  f=$data/play-$size.MP4
  start=$(date +%s%N)
  ffmpeg -v error -threads 0 -i "$f" -f null - 
  end=$(date +%s%N)
  awk -v ns=$((end - start)) -v n=300 -v s=$size \
    'BEGIN { printf "ffmpeg -f null, %d x %d: %8.1f frames/s\n", s, s, n / (ns / 1e9) }'
  echo "real time, $size x $size in a 722 x 406 window:"
  run "$build/tools/tavrilo-play" "$f" --view sphere --stats 2>&1 | grep -v XDG_RUNTIME
done
