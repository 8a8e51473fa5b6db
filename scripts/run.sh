#!/usr/bin/env bash
# Installs what is missing, builds Tavrilo, writes the built-in sample card on first use and
# opens the viewer on it. Usage: scripts/run.sh [SOURCE]  (default: the sample card)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" >/dev/null

source=${1:-}
if [ -z "$source" ]; then
  # Written once; a card of an older generator is written anew.
  source=build/sample-card
  sample=town-1
  if [ "$(cat "$source/.complete" 2>/dev/null)" != "$sample" ]; then
    rm -rf "$source"
    build/tools/tavrilo-gen card "$source" >&2
    echo "$sample" >"$source/.complete"
  fi
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run: no display; start it from a desktop session (or under xvfb-run)" >&2
  exit 1
fi
source=$(realpath "$source")
# The map's web view runs without its sandbox when the viewer runs as root.
if [ "$(id -u)" = 0 ]; then
  export QTWEBENGINE_DISABLE_SANDBOX=1
fi
# The viewer keeps Default_Folder.ini in the folder it starts in: build/, not the checkout.
cd build
exec ./tavrilo "$source"
