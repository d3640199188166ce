#!/usr/bin/env bash
# scripts/gallery.sh writes only into a folder it may replace: run in a
# scratch checkout (a copy of the script beside stand-ins for the set-up,
# cmake and ctest, so that nothing is built), it must refuse the checkout,
# its build folder, the folder above it and folders holding files of
# someone else's, removing nothing and building nothing, and it must take a
# relative folder from the folder it is started in and replace its own
# gallery on a second run.
#
#   tests/scripts/gallery_script_test.sh SOURCE_DIR
set -uo pipefail

source_dir=$(cd "$1" && pwd -P)
scratch=$(mktemp -d "${TMPDIR:-/tmp}/gallery-script-test.XXXXXX")
trap 'rm -rf -- "$scratch"' EXIT
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

# The scratch: outer/ holds a file of its own, the checkout and a folder
# of the user's; the checkout holds its .git, a build tree and the script.
outer=$scratch/outer
repo=$outer/checkout
mkdir -p "$repo/.git" "$repo/build/asan" "$repo/scripts" "$outer/mine" "$outer/elsewhere" "$scratch/bin"
echo "ref: refs/heads/main" > "$repo/.git/HEAD"
echo "a build" > "$repo/build/asan/build.ninja"
echo "readme" > "$repo/README.md"
echo "the user's" > "$outer/notes.txt"
echo "the user's" > "$outer/mine/notes.txt"
cp "$source_dir/scripts/gallery.sh" "$repo/scripts/gallery.sh"
printf '#!/bin/sh\nexit 0\n' > "$repo/scripts/setup.sh"
# cmake makes the build folder it is given; ctest writes a picture and an
# index into the gallery folder, numbered by run. Each call is logged.
cat > "$scratch/bin/cmake" <<'STUB'
#!/usr/bin/env bash
echo "cmake $*" >> "$STUB_LOG"
while [ $# -gt 0 ]; do
  if [ "$1" = -B ]; then mkdir -p "$2"; fi
  shift
done
STUB
cat > "$scratch/bin/ctest" <<'STUB'
#!/usr/bin/env bash
echo "ctest $*" >> "$STUB_LOG"
run=$(($(cat "$STUB_LOG.runs" 2>/dev/null || echo 0) + 1))
echo "$run" > "$STUB_LOG.runs"
mkdir -p "$ZR_GALLERY_DIR/states"
echo "run $run" > "$ZR_GALLERY_DIR/front-01-logo.png"
echo "run $run" > "$ZR_GALLERY_DIR/states/front-01-logo.txt"
echo "front-01-logo.png" > "$ZR_GALLERY_DIR/front.list"
echo "<html></html>" > "$ZR_GALLERY_DIR/index.html"
STUB
chmod +x "$repo/scripts/setup.sh" "$repo/scripts/gallery.sh" "$scratch/bin/cmake" "$scratch/bin/ctest"
export PATH="$scratch/bin:$PATH" STUB_LOG="$scratch/calls.log"

# Every file and folder of the scratch with its contents.
snapshot() {
  (cd "$scratch" && find outer -print | sort && find outer -type f -print0 | sort -z | xargs -0 cksum)
}

# run FOLDER ARGS...: the script started in FOLDER; its output in $scratch/out.
run() {
  local folder=$1
  shift
  : > "$STUB_LOG"
  (cd "$folder" && "$repo/scripts/gallery.sh" "$@") > "$scratch/out" 2>&1
}

# Refused: from the checkout ".", "build" and ".."; the checkout by its
# absolute path from elsewhere; a folder with the user's file in it; a
# misspelt option (not a folder's name).
mkdir -p "$outer/marked"
echo "made by scripts/gallery.sh" > "$outer/marked/.made-by-gallery"
echo "the user's" > "$outer/marked/notes.txt"
while IFS='|' read -r folder argument why; do
  before=$(snapshot)
  run "$folder" "$argument"
  status=$?
  after=$(snapshot)
  case_name="gallery.sh $argument (started in ${folder#"$scratch"/})"
  [ "$status" -eq 2 ] || fail "$case_name: exit status $status, not 2"
  [ "$(wc -l < "$scratch/out")" -eq 1 ] || fail "$case_name: not one line of output: $(cat "$scratch/out")"
  grep -q -- "$why" "$scratch/out" || fail "$case_name: the output does not say '$why': $(cat "$scratch/out")"
  [ ! -s "$STUB_LOG" ] || fail "$case_name: built before refusing: $(cat "$STUB_LOG")"
  [ "$before" = "$after" ] || fail "$case_name: the scratch changed: $(diff <(echo "$before") <(echo "$after"))"
done <<CASES
$repo|.|the repository's root
$outer/elsewhere|$repo|the repository's root
$repo|build|was not made by this script
$repo|..|holds the repository
$outer|mine|was not made by this script
$outer|marked|holds notes.txt, which no gallery writes
$repo|--compre|usage
$repo/build/asan|build.ninja|not a folder
CASES

# A relative folder is the caller's: made in elsewhere/, not in the checkout.
run "$outer/elsewhere" pictures || fail "first run: exit status $?: $(cat "$scratch/out")"
[ ! -e "$repo/pictures" ] || fail "the relative folder was taken from the checkout"
pictures=$outer/elsewhere/pictures
[ -f "$pictures/.made-by-gallery" ] || fail "no mark in the new gallery"
grep -q "run 1" "$pictures/front-01-logo.png" 2>/dev/null || fail "no picture of the first run"
# A second run replaces its own gallery, a picture it did not draw again
# included.
echo "old" > "$pictures/map1-01-RollDie.png"
run "$outer/elsewhere" pictures || fail "second run: exit status $?: $(cat "$scratch/out")"
grep -q "run 1" "$pictures/front-01-logo.png" 2>/dev/null && fail "the second run kept the first run's picture"
[ ! -e "$pictures/map1-01-RollDie.png" ] || fail "the second run kept a picture of the first gallery"
[ -f "$pictures/.made-by-gallery" ] || fail "no mark after the second run"
# The default folder is build/gallery/pictures in the checkout; the other
# build trees stay.
run "$outer/elsewhere" || fail "default folder: exit status $?: $(cat "$scratch/out")"
[ -f "$repo/build/gallery/pictures/.made-by-gallery" ] || fail "no gallery in build/gallery/pictures"
# Nothing of the user's went on the way.
for f in "$repo/.git/HEAD" "$repo/build/asan/build.ninja" "$repo/README.md" "$outer/notes.txt" \
         "$outer/mine/notes.txt" "$outer/marked/notes.txt"; do
  [ -f "$f" ] || fail "${f#"$scratch"/} is gone"
done

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "gallery.sh: every refusal and replacement as it should be"
