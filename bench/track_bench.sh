#!/usr/bin/env bash
# Walks and parses the track of a long generated recording (about 530 MB, 1000 sensor records)
# and compares with reading the same file through cat. Usage: bench/track_bench.sh [build dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
data=$build/bench-data
file=$data/001_120000_A.MP4
mkdir -p "$data"
if [ ! -f "$file" ]; then
  "$build/tools/tavrilo-gen" recording "$file" --size 400 --seconds 100 --qp 2 \
    --preset ultrafast --noise 20 --no-audio >&2
fi

cold() {
  # Dropping the page cache needs root and a kernel that allows it; say so when it does not.
  sync && echo 3 >/proc/sys/vm/drop_caches 2>/dev/null && return 0
  return 1
}

time_cat() {
  local start end
  start=$(date +%s%N)
  cat "$file" >/dev/null
  end=$(date +%s%N)
  awk -v ns=$((end - start)) 'BEGIN { printf "  cat of the whole file               %8.3f ms\n", ns / 1e6 }'
}

if cold; then
  echo "cold cache:"
  "$build/bench/track_bench" "$file" 1
  cold
  time_cat
else
  echo "(page cache cannot be dropped here: warm figures only)"
fi
echo "warm cache:"
"$build/bench/track_bench" "$file" 5
cat "$file" >/dev/null
time_cat
