#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need,
# when any is missing. Runs as root on Debian 12; apt-get update runs once,
# and only when something has to be installed.
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config
  libsdl2-dev libpng-dev libjpeg-dev zlib1g-dev
  libogg-dev libvorbis-dev libtheora-dev
  libfreetype-dev fonts-ipafont-gothic libmpg123-dev
  libavformat-dev libavcodec-dev libswscale-dev libswresample-dev libavutil-dev
  lame vorbis-tools sox
  libgtest-dev libgmock-dev libbenchmark-dev
  libpixman-1-dev libsdl2-ttf-dev lld
  xvfb xauth libx11-dev
  libgl1 libglx-mesa0 libgl1-mesa-dri
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
