#!/usr/bin/env bash
# Joins 10 generated recordings of about 100 MB each and prints the throughput next to a plain
# copy of the same bytes (cat into one file) and FFmpeg's concat demuxer with stream copy,
# all measured in the same run. Usage: bench/join_bench.sh [build dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
data=$build/bench-data/join
mkdir -p "$data"
inputs=()
for i in 0 1 2 3 4 5 6 7 8 9; do
  f=$data/00${i}_10${i}000_A.MP4
  if [ ! -f "$f" ]; then
    "$build/tools/tavrilo-gen" recording "$f" --size 400 --seconds 19 --qp 2 --preset ultrafast \
      --noise 20 --seed "$i" --start "2026-06-01 10:0${i}:00" >&2
  fi
  inputs+=("$f")
done
total=$(du -cb "${inputs[@]}" | tail -1 | cut -f1)
out=$data/out
mkdir -p "$out"

measure() {  # name, command...
  local name=$1; shift
  rm -f "$out"/*
  sync
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null 2>&1
  sync
  end=$(date +%s%N)
  awk -v n="$name" -v ns=$((end - start)) -v b="$total" \
    'BEGIN { printf "  %-32s %8.1f ms  %8.1f MB/s\n", n, ns / 1e6, b / 1e6 / (ns / 1e9) }'
}

printf '%s\n' "${inputs[@]}" | sed "s|^|file '$PWD/|; s|$|'|" >"$data/list.txt"
echo "10 recordings, $((total / 1000000)) MB in all (sync after each, warm page cache):"
for round in 1 2; do
  echo "round $round:"
  measure "tavrilo-cli join" "$build/tools/tavrilo-cli" join "$out/joined.MP4" "${inputs[@]}"
  measure "cat into one file" sh -c 'cat "$@" >"'"$out"'/cat.bin"' sh "${inputs[@]}"
  measure "ffmpeg -f concat -c copy" ffmpeg -v error -f concat -safe 0 -i "$data/list.txt" -c copy "$out/concat.mp4"
done
rm -f "$out"/*
