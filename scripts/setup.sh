#!/usr/bin/env bash
# Installs every Debian package Tavrilo needs to build, run and test.
# Idempotent: packages already present are skipped, and apt-get update runs
# at most once, only when something is missing.
set -euo pipefail

packages=(
  # toolchain (clang with its sanitiser runtimes builds the fuzz targets)
  build-essential cmake ninja-build pkg-config clang-format git clang libclang-rt-14-dev
  # tests
  googletest libgtest-dev libgmock-dev nlohmann-json3-dev python3 python3-gpxpy
  # the zone rules the clock tests and `--tz` read
  tzdata
  # Qt 6
  qt6-base-dev libqt6opengl6-dev qt6-multimedia-dev qt6-webengine-dev qt6-webchannel-dev
  # FFmpeg libraries and the programs the tests use as an independent check
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev ffmpeg
  # map page, fonts
  libjs-leaflet fonts-noto-cjk
  # headless display with software OpenGL for the GUI tests and screenshots
  xvfb xauth x11-apps libgl1-mesa-dri libegl-mesa0 imagemagick
  # a sound server with a null output, so the audio path is exercised without a sound card
  pulseaudio
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}" >&2
  SUDO=""
  if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
