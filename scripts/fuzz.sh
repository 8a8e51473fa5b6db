#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs each for SECONDS (default 60), from seed corpora of generated recordings, names,
# settings files and version texts, and from the kept corpora in fuzz/corpus/. New inputs
# gather in build-fuzz/corpus/; crashes land in build-fuzz/crashes/ and fail the run.
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=${*:-fuzz_box_tree fuzz_track fuzz_names fuzz_ini fuzz_json_version}
bash scripts/setup.sh  # clang and its libFuzzer runtime among the rest
# The generator comes from the normal build.
[ -x build/tools/tavrilo-gen ] || { cmake -S . -B build -G Ninja >/dev/null; cmake --build build --target tavrilo-gen >/dev/null; }
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTAVRILO_CORE_ONLY=ON -DTAVRILO_FUZZ=ON -DBUILD_TESTING=OFF \
  -DTAVRILO_SANITIZE=address,undefined >/dev/null
cmake --build build-fuzz -j "$(nproc)" --target $targets >/dev/null

corpus=build-fuzz/corpus
mkdir -p "$corpus" build-fuzz/crashes
seed() {  # seed TARGET: the first-run corpus of a target
  local dir=$corpus/$1
  [ -d "$dir" ] && return
  mkdir -p "$dir"
  case $1 in
    fuzz_box_tree|fuzz_track)
      for opts in "--size 32 --seconds 1" "--size 32 --seconds 2 --kind G --event 1:X" \
                  "--size 32 --seconds 1 --mode D --no-audio"; do
        f=$(mktemp -u "$dir/seed-XXXX.MP4")
        build/tools/tavrilo-gen recording "$f" $opts --preset ultrafast >/dev/null
      done
      # Other writers' timing: reordered pictures, edit lists, other timescales.
      for enc in "-c:v libx264 -bf 2" "-c:v libx265 -x265-params log-level=error" \
                 "-c:v libx264 -video_track_timescale 90000 -f mov"; do
        f=$(mktemp -u "$dir/ffmpeg-XXXX.mp4")
        ffmpeg -v error -f lavfi -i testsrc=size=32x32:rate=25 -t 1 $enc "$f" || true
      done ;;
    fuzz_names)
      for n in 001_100000_A.MP4 999_235959_U.mp4 20260601_001 2026060_001 x_123456_G.MP4; do
        printf '%s' "$n" > "$dir/$n"
      done ;;
    fuzz_ini)
      printf '[DISPLAY]\r\nVOLUME=65535\r\nASPECT=on\r\n[UPDATE]\r\nSERVER=http://h/\r\n' > "$dir/a.ini" ;;
    fuzz_json_version)
      printf '{"map_lat":"35.5","map_lng":"139.25","map_status":"pause","val_end":""}' > "$dir/json"
      printf 'VER:1.0.1\r\n' > "$dir/version" ;;
  esac
}
failed=0
for t in $targets; do
  seed "$t"
  kept=fuzz/corpus/$t
  mkdir -p "$kept"
  echo "== $t, ${seconds}s"
  set +e
  ASAN_OPTIONS=detect_leaks=0 "build-fuzz/fuzz/$t" -max_total_time="$seconds" -max_len=262144 \
    -artifact_prefix=build-fuzz/crashes/$t- -print_final_stats=1 "$corpus/$t" "$kept" \
    > "build-fuzz/$t.log" 2>&1
  status=$?
  set -e
  grep -E "stat::number_of_executed_units|stat::peak_rss|ERROR|SUMMARY|Test unit written" \
    "build-fuzz/$t.log" || true
  if [ "$status" -ne 0 ]; then
    echo "fuzz: $t failed ($status); see build-fuzz/$t.log" >&2
    failed=1
  fi
done
exit $failed
