#!/usr/bin/env bash
# CPU use of real-time playback at x1 in a 722 x 406 window (the flat view), 1440 and 2880:
# the CPU seconds per second of playback (user + system of the whole process) of tavrilo-play,
# next to mpv showing the same file in a window of the same size on the same software renderer,
# and next to `ffmpeg -f null` decoding it (the decode floor), with each one's peak memory.
# mpv is installed for this only.
# Usage: bench/cpu_bench.sh [build dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
source bench/common.sh
command -v mpv >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
  --no-install-recommends mpv >/dev/null
for size in 1440 2880; do
  gen play-$size.MP4 --size $size --seconds 20 --no-audio
done
# cpu LABEL SECONDS COMMAND...: prints the command's CPU seconds per second of playback.
cpu() {
  local label=$1 seconds=$2
  shift 2
  local out times
  times=$(mktemp)
  /usr/bin/time -o "$times" -f "%U %S %e %M" "$@" >/dev/null 2>&1 || true
  out=$(tail -1 "$times")
  rm -f "$times"
  awk -v l="$label" -v s="$seconds" -v o="$out" 'BEGIN {
    split(o, t, " "); printf "  %-34s %5.2f CPU s per s (user %.1f s, system %.1f s, wall %.1f s), peak %d MiB\n",
    l, (t[1] + t[2]) / s, t[1], t[2], t[3], t[4] / 1024 }'
}
for size in 1440 2880; do
  f=$data/play-$size.MP4
  echo "$size x $size, 20 s at 30 frames a second:"
  with_display bash -c "$(declare -f cpu); cpu 'tavrilo-play, flat view' 20 \
    '$build/tools/tavrilo-play' '$f' --view flat"
  with_display bash -c "$(declare -f cpu); cpu 'mpv --vo=gpu, software GL' 20 mpv --no-config \
    --vo=gpu --gpu-context=x11egl --gpu-sw=yes --geometry=722x406 --no-border --really-quiet '$f'"
  cpu 'ffmpeg -f null (decoding alone)' 20 ffmpeg -v error -threads 0 -i "$f" -f null -
done
