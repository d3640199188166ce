#!/usr/bin/env bash
# scripts/run.sh starts the program in the folder given, taken from the
# folder it is started in (build/run of the checkout by default), with the
# media linked there. Run in a scratch checkout: a copy of the script
# beside stand-ins for the set-up, cmake and the program, which notes the
# folder it runs in.
#
#   tests/scripts/run_script_test.sh SOURCE_DIR
set -uo pipefail

source_dir=$(cd "$1" && pwd -P)
scratch=$(mktemp -d "${TMPDIR:-/tmp}/run-script-test.XXXXXX")
trap 'rm -rf -- "$scratch"' EXIT
scratch=$(cd "$scratch" && pwd -P)
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

repo=$scratch/checkout
mkdir -p "$repo/scripts" "$repo/build/release/game" "$repo/build/release/media" "$scratch/elsewhere/own/media" \
  "$scratch/bin"
cp "$source_dir/scripts/run.sh" "$repo/scripts/run.sh"
printf '#!/bin/sh\nexit 0\n' > "$repo/scripts/setup.sh"
printf '#!/bin/sh\nexit 0\n' > "$scratch/bin/cmake"
printf '#!/bin/sh\npwd -P > "%s/ran-in"\n' "$scratch" > "$repo/build/release/game/party"
echo "the user's" > "$scratch/elsewhere/own/media/keep.txt"
chmod +x "$repo/scripts/run.sh" "$repo/scripts/setup.sh" "$scratch/bin/cmake" "$repo/build/release/game/party"
export PATH="$scratch/bin:$PATH"

# run FOLDER ARGS...: the script started in FOLDER; the folder the program ran in.
run() {
  local folder=$1
  shift
  rm -f "$scratch/ran-in"
  (cd "$folder" && "$repo/scripts/run.sh" "$@") > "$scratch/out" 2>&1 || fail "run.sh $*: $(cat "$scratch/out")"
  cat "$scratch/ran-in" 2>/dev/null
}

[ "$(run "$scratch/elsewhere" play)" = "$scratch/elsewhere/play" ] || fail "a relative folder was not taken from the caller's"
[ ! -e "$repo/play" ] || fail "a relative folder was taken from the checkout"
[ "$(readlink "$scratch/elsewhere/play/media")" = "$repo/build/release/media" ] || fail "no media link in the folder"
[ "$(run "$scratch/elsewhere")" = "$repo/build/run" ] || fail "the default folder is not build/run of the checkout"
# A folder with a media folder of its own keeps it.
[ "$(run "$scratch/elsewhere" own)" = "$scratch/elsewhere/own" ] || fail "the program did not run in own/"
[ -f "$scratch/elsewhere/own/media/keep.txt" ] && [ ! -L "$scratch/elsewhere/own/media" ] ||
  fail "a media folder of the user's was replaced"

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "run.sh: the working folder as it should be"
