#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the full build, then the
# core and the window side again under AddressSanitizer and UndefinedBehaviorSanitizer, then
# the threaded parts under ThreadSanitizer, then a short run of every fuzz target.
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

# The window side again under AddressSanitizer and UndefinedBehaviorSanitizer: the panels, the
# video library and the main window with the real engine. Leaks are not looked for (Qt, Mesa
# and fontconfig keep their caches to the end), nor the sized deletes inside QtWebEngine's own
# code, which it builds without them.
cmake -S . -B build-asan-ui -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTAVRILO_SANITIZE=address,undefined \
  >/dev/null
cmake --build build-asan-ui -j "$jobs" --target tavrilo_ui_tests tavrilo_video_tests \
  tavrilo_window_tests tavrilo-gen tavrilo-cli
export ASAN_OPTIONS=detect_leaks=0:new_delete_type_mismatch=0 UBSAN_OPTIONS=print_stacktrace=1
QT_QPA_PLATFORM=offscreen build-asan-ui/tests/tavrilo_ui_tests
xvfb-run -a -s "-screen 0 1920x1080x24 -noreset" build-asan-ui/tests/tavrilo_video_tests
xvfb-run -a -s "-screen 0 1920x1080x24 -noreset" build-asan-ui/tests/tavrilo_window_tests
unset ASAN_OPTIONS UBSAN_OPTIONS

# Threads under ThreadSanitizer: the engine's, the library's, the whole video library's (player,
# presenter, scheduler, sound) and the window's (opening, prefetch, jobs, pad, momentum,
# watcher, connectivity, update check). Reports from inside the libraries it cannot see into
# (FFmpeg, Qt, QtWebEngine, PulseAudio, Mesa, X) are suppressed, and what those libraries do
# through the intercepted calls (their copies and locks) is not looked at; our own code is
# instrumented and checked. The build runs instrumented tools too (the skin is drawn by one).
export TSAN_OPTIONS="suppressions=$PWD/tests/tsan.supp history_size=7 ignore_noninstrumented_modules=1"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTAVRILO_CORE_ONLY=OFF \
  -DTAVRILO_SANITIZE=thread >/dev/null
cmake --build build-tsan -j "$jobs" --target tavrilo_core_tests tavrilo_video_tests \
  tavrilo_window_tests tavrilo-gen tavrilo-cli
build-tsan/tests/tavrilo_core_tests --gtest_filter='Engine*:Watcher.*:Library.*'
xvfb-run -a -s "-screen 0 1920x1080x24 -noreset" build-tsan/tests/tavrilo_video_tests
# The window drives Mesa's rasteriser threads hardest; ThreadSanitizer's lock-order detector
# once stopped on an internal check inside them (in swrast_dri.so, no frame of ours), so this
# run looks for data races only.
TSAN_OPTIONS="$TSAN_OPTIONS detect_deadlocks=0" \
  xvfb-run -a -s "-screen 0 1920x1080x24 -noreset" build-tsan/tests/tavrilo_window_tests
unset TSAN_OPTIONS

# Every parser under libFuzzer for a short while, from the kept corpora (scripts/fuzz.sh runs
# them for longer).
bash scripts/fuzz.sh "${FUZZ_SECONDS:-30}"
