#!/usr/bin/env bash
# The screen gallery: a release build of the program and its gallery test,
# then one picture of every scene and step a player meets, written with an
# index page (index.html) into the folder given (build/gallery/pictures by
# default). --opengl draws them through Direct3D on OpenGL in a private Xvfb
# instead of the software renderer. --group NAME runs one group only (front,
# setup, minigamemode, map1 to map4, minigame01 to minigame31). --compare
# runs every group (or the one named) on both back ends, into OUT_DIR/software
# and OUT_DIR/opengl, and compares them screen by screen as the test
# Groups/BackEnds does for a few groups in the test suite.
#
#   ./scripts/gallery.sh [--opengl | --compare] [--group NAME] [OUT_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."

backend=software
compare=0
group=""
out=""
while [ $# -gt 0 ]; do
  case "$1" in
    --opengl) backend=opengl ;;
    --compare) compare=1 ;;
    --group) shift; group="$1" ;;
    *) out="$1" ;;
  esac
  shift
done
out="$(realpath -m "${out:-build/gallery/pictures}")"

./scripts/setup.sh
cmake -S . -B build/gallery -G Ninja -DCMAKE_BUILD_TYPE=Release -DZR_BUILD_BENCH=OFF
cmake --build build/gallery -j "$(nproc)" --target test_game_gallery

if [ "$compare" = 1 ]; then
  filter='Groups/BackEnds\.DrawTheGroupAlike/'
else
  filter='Groups/Gallery\.SavesEveryStepOfTheGroup/'
fi
if [ -n "$group" ]; then filter="$filter$group( |\$)"; fi

rm -rf "$out"
mkdir -p "$out"
cd build/gallery
if [ "$compare" = 1 ]; then
  status=0
  ZR_GALLERY_DIR="$out" ZR_GALLERY_COMPARE=all \
    ctest -R "$filter" -j "$(nproc)" --verbose --timeout 1200 > "$out/compare.log" 2>&1 || status=$?
  grep -E 'pixels above|Failure|other states|Driver:' "$out/compare.log" || true
  echo "gallery: $out/software/index.html, $out/opengl/index.html (the run: $out/compare.log)"
  exit $status
else
  ZR_GALLERY_DIR="$out" ZR_GALLERY_BACKEND="$backend" \
    ctest -R "$filter" -j "$(nproc)" --output-on-failure --timeout 1200
  echo "gallery: $out/index.html"
fi
