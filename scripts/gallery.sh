#!/usr/bin/env bash
# The screen gallery: a release build of the program and its gallery test,
# then one picture of every scene and step a player meets, written with an
# index page (index.html) into the folder given (build/gallery/pictures by
# default). --opengl draws them through Direct3D on OpenGL in a private Xvfb
# instead of the software renderer. --group NAME runs one group only (front,
# setup, minigamemode, map1 to map4, minigame01 to minigame31). --compare
# runs every group (or the one named) on both back ends, into OUT_DIR/software
# and OUT_DIR/opengl, and compares them screen by screen as the test
# Groups/BackEnds does.
#
#   ./scripts/gallery.sh [--opengl | --compare] [--group NAME] [OUT_DIR]
#
# OUT_DIR is taken from the folder the script is started in. Each run
# replaces the gallery there, and so the script writes only into a new or
# empty folder, or one that an earlier run made (it leaves a mark file in
# it) and that holds nothing but a gallery: anything else (the checkout, a
# build tree, a folder with a file of someone else's in it) is refused
# before anything is built or removed.
set -euo pipefail

usage() {
  echo "usage: scripts/gallery.sh [--opengl | --compare] [--group NAME] [OUT_DIR]" >&2
  exit 2
}

backend=software
compare=0
group=""
out=""
while [ $# -gt 0 ]; do
  case "$1" in
    --opengl) backend=opengl ;;
    --compare) compare=1 ;;
    --group)
      [ $# -ge 2 ] || usage
      shift
      group="$1"
      ;;
    -*) usage ;;
    *)
      [ -z "$out" ] || usage
      out="$1"
      ;;
  esac
  shift
done

root="$(cd "$(dirname "$0")/.." && pwd -P)"
# Relative to the caller's folder, as any command takes a path.
out="$(realpath -m -- "${out:-$root/build/gallery/pictures}")"
mark=".made-by-gallery"

# Why the gallery may not replace the folder $1; nothing when it may.
refusal() {
  local dir=$1 stranger
  if [ "$dir" = "$root" ]; then
    echo "it is the repository's root"
    return
  fi
  case "$root/" in
    "$dir"/*)
      echo "it holds the repository"
      return
      ;;
  esac
  if [ ! -e "$dir" ] && [ ! -L "$dir" ]; then return; fi
  if [ ! -d "$dir" ]; then
    echo "it is not a folder"
    return
  fi
  if [ ! -r "$dir" ] || [ ! -x "$dir" ]; then
    echo "it cannot be read"
    return
  fi
  if [ -z "$(ls -A -- "$dir")" ]; then return; fi
  if [ ! -f "$dir/$mark" ]; then
    echo "it holds files and was not made by this script (no $mark in it)"
    return
  fi
  # A gallery holds its pictures, lists, index and states, and in --compare
  # runs its log and one such folder for each back end.
  stranger="$(cd -- "$dir" && find . -mindepth 1 ! \( \
    \( -type d \( -path ./states -o -path ./software -o -path ./opengl \
                  -o -path ./software/states -o -path ./opengl/states \) \) \
    -o \( -type f \( -name '*.png' -o -name '*.list' -o -name '*.list.part' -o -name index.html \
                     -o -name 'index.html.*' -o -path ./compare.log -o -path "./$mark" \
                     -o -path '*/states/*.txt' \) \) \) -print -quit)"
  if [ -n "$stranger" ]; then
    echo "it holds ${stranger#./}, which no gallery writes"
  fi
}

refuse_unless_ours() {
  local why
  why="$(refusal "$out")"
  if [ -n "$why" ]; then
    echo "gallery.sh: refusing to write the gallery into $out: $why" >&2
    exit 2
  fi
}

refuse_unless_ours

cd "$root"
./scripts/setup.sh
cmake -S . -B build/gallery -G Ninja -DCMAKE_BUILD_TYPE=Release -DZR_BUILD_BENCH=OFF
cmake --build build/gallery -j "$(nproc)" --target test_game_gallery

if [ "$compare" = 1 ]; then
  filter='Groups/BackEnds\.DrawTheGroupAlike/'
else
  filter='Groups/Gallery\.SavesEveryStepOfTheGroup/'
fi
if [ -n "$group" ]; then filter="$filter$group( |\$)"; fi

# Once more: the build took a while.
refuse_unless_ours
rm -rf -- "$out"
mkdir -p -- "$out"
echo "made by scripts/gallery.sh, which replaces this folder on its next run" > "$out/$mark"
cd build/gallery
if [ "$compare" = 1 ]; then
  status=0
  ZR_GALLERY_DIR="$out" \
    ctest -R "$filter" -j "$(nproc)" --verbose --timeout 1200 > "$out/compare.log" 2>&1 || status=$?
  grep -E 'pixels above|Failure|other states|Driver:' "$out/compare.log" || true
  echo "gallery: $out/software/index.html, $out/opengl/index.html (the run: $out/compare.log)"
  exit $status
else
  ZR_GALLERY_DIR="$out" ZR_GALLERY_BACKEND="$backend" \
    ctest -R "$filter" -j "$(nproc)" --output-on-failure --timeout 1200
  echo "gallery: $out/index.html"
fi
