#!/usr/bin/env bash
# The screen gallery: a release build of the program and its gallery test,
# then one picture of every scene and step a player meets, written with an
# index page (index.html) into the folder given (build/gallery/pictures by
# default). --opengl draws them through Direct3D on OpenGL in a private Xvfb
# instead of the software renderer. --group NAME runs one group only (front,
# setup, minigamemode, map1 to map4, minigame01 to minigame31).
#
#   ./scripts/gallery.sh [--opengl] [--group NAME] [OUT_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."

backend=software
filter='Groups/Gallery\.'
out=""
while [ $# -gt 0 ]; do
  case "$1" in
    --opengl) backend=opengl ;;
    --group) shift; filter="Groups/Gallery\\.SavesEveryStepOfTheGroup/$1\$" ;;
    *) out="$1" ;;
  esac
  shift
done
out="$(realpath -m "${out:-build/gallery/pictures}")"

./scripts/setup.sh
cmake -S . -B build/gallery -G Ninja -DCMAKE_BUILD_TYPE=Release -DZR_BUILD_BENCH=OFF
cmake --build build/gallery -j "$(nproc)" --target test_game_gallery

rm -rf "$out"
mkdir -p "$out"
cd build/gallery
ZR_GALLERY_DIR="$out" ZR_GALLERY_BACKEND="$backend" \
  ctest -R "$filter" -j "$(nproc)" --output-on-failure --timeout 1200
echo "gallery: $out/index.html"
