#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the full build, then the
# core again under AddressSanitizer and UndefinedBehaviorSanitizer, then the threaded parts
# under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

jobs=$(nproc)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"
# The drawing and window tests need a display: Xvfb with Mesa's software renderer (kept from
# resetting between test programs, when a starting one would find it gone). The
# playback tests use a sound device when there is one: PulseAudio's null output stands in.
pulseaudio --start --exit-idle-time=-1 >/dev/null 2>&1 || echo "test: no sound server; sound tests skip" >&2
xvfb-run -a -s "-screen 0 1920x1080x24 -noreset" ctest --test-dir build --output-on-failure -j "$jobs"

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTAVRILO_CORE_ONLY=ON \
  -DTAVRILO_SANITIZE=address,undefined >/dev/null
cmake --build build-asan -j "$jobs"
ctest --test-dir build-asan --output-on-failure -j "$jobs"

# Threads under ThreadSanitizer: the engine's, the library's and the whole video library's
# (player, presenter, scheduler, sound). Reports from inside the libraries it cannot see into
# (FFmpeg, Qt, PulseAudio, Mesa) are suppressed; our own code is instrumented and checked.
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTAVRILO_CORE_ONLY=OFF \
  -DTAVRILO_SANITIZE=thread >/dev/null
cmake --build build-tsan -j "$jobs" --target tavrilo_core_tests tavrilo_video_tests tavrilo-gen \
  tavrilo-cli
export TSAN_OPTIONS="suppressions=$PWD/tests/tsan.supp history_size=7"
build-tsan/tests/tavrilo_core_tests --gtest_filter='Engine*:Watcher.*:Library.*'
xvfb-run -a -s "-screen 0 1920x1080x24 -noreset" build-tsan/tests/tavrilo_video_tests
