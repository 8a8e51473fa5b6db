#!/usr/bin/env bash
# The time from a click on a recording to its first frame in the main window, on a generated
# card of 1440 x 1440 recordings. Usage: bench/open_bench.sh [build dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
source bench/common.sh
card=$data/open-card
[ -d "$card" ] || "$build/tools/tavrilo-gen" card "$card" --size 1440 --seconds 10 --folders 1 \
  --per-folder 4 >&2
QTWEBENGINE_DISABLE_SANDBOX=1 with_display "$build/bench/open_bench" "$card" 9
