#!/usr/bin/env bash
# Installs what is missing, builds Tavrilo, writes the built-in sample card on first use and
# shows it. Usage: scripts/run.sh [SOURCE]  (default: the sample card)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" >/dev/null

source=${1:-}
if [ -z "$source" ]; then
  source=build/sample-card
  if [ ! -f "$source/.complete" ]; then
    rm -rf "$source"
    build/tools/tavrilo-gen card "$source" >&2
    touch "$source/.complete"
  fi
fi

# Until the viewer window exists, the card is shown through the command-line tool: its
# recordings in list order and its folder tree.
build/tools/tavrilo-cli scan "$source" --tree
