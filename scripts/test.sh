#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the full build, then the
# core again under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

jobs=$(nproc)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"
# The drawing tests need OpenGL through a display: Xvfb with Mesa's software renderer. The
# playback tests use a sound device when there is one: PulseAudio's null output stands in.
pulseaudio --start --exit-idle-time=-1 >/dev/null 2>&1 || echo "test: no sound server; sound tests skip" >&2
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --test-dir build --output-on-failure -j "$jobs"

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTAVRILO_CORE_ONLY=ON \
  -DTAVRILO_SANITIZE=address,undefined >/dev/null
cmake --build build-asan -j "$jobs"
ctest --test-dir build-asan --output-on-failure -j "$jobs"

# The engine's and the library's threads under ThreadSanitizer.
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTAVRILO_CORE_ONLY=ON \
  -DTAVRILO_SANITIZE=thread >/dev/null
cmake --build build-tsan -j "$jobs"
ctest --test-dir build-tsan --output-on-failure -j "$jobs" -R '^(Engine|Watcher|Library)\.'
