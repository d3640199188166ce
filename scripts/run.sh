#!/usr/bin/env bash
# Set-up, a release build, and the program started in its working folder
# (build/run by default, or the folder given, taken from the folder the
# script is started in). The program reads its media from media/ there (a
# link to the generated tree) and writes Log.txt and its settings files there.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd -P)"
workdir="$(realpath -m -- "${1:-$root/build/run}")"
cd "$root"

./scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DZR_BUILD_TESTS=OFF -DZR_BUILD_BENCH=OFF
cmake --build build/release -j "$(nproc)" --target party

mkdir -p -- "$workdir"
program="$(pwd)/build/release/game/party"
# The build writes the stand-in media into build/release/media; the program
# finds it as media/ in its working folder.
media="$(pwd)/build/release/media"
if [ ! -e "$workdir/media" ] || [ -L "$workdir/media" ]; then
  ln -sfn "$media" "$workdir/media"
fi
cd "$workdir"
exec "$program"
