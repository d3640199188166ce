#!/usr/bin/env bash
# escape_literals writes and prunes only a mirror of its own: given the
# source tree, a folder holding it, a folder inside it that the walk would
# enter, or a folder of someone else's files, it refuses (status 2) and
# every file stays as it was; a mirror it made is refreshed, a file whose
# source is gone leaving it.
#
#   fuzz/support/escape_literals_mirror_test.sh ESCAPE_LITERALS
set -uo pipefail

tool=$1
scratch=$(mktemp -d "${TMPDIR:-/tmp}/escape-literals-test.XXXXXX")
trap 'rm -rf -- "$scratch"' EXIT
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

source_tree=$scratch/outer/source
mkdir -p "$source_tree/src" "$scratch/outer/theirs"
printf 'const char* k = "\xe5\xae\x8c";\n' > "$source_tree/src/a.cpp"
echo "notes" > "$scratch/outer/notes.txt"
echo "their file" > "$scratch/outer/theirs/keep.txt"

snapshot() { (cd "$scratch" && find outer -type f -print0 | sort -z | xargs -0 cksum); }

while IFS='|' read -r mirror why; do
  before=$(snapshot)
  "$tool" "$source_tree" "$mirror" > "$scratch/out" 2>&1
  status=$?
  [ "$status" -eq 2 ] || fail "mirror $mirror: exit status $status, not 2"
  grep -q -- "$why" "$scratch/out" || fail "mirror $mirror: the output does not say '$why': $(cat "$scratch/out")"
  [ "$before" = "$(snapshot)" ] || fail "mirror $mirror: files changed"
done <<CASES
$source_tree|is or holds the source tree
$scratch/outer|is or holds the source tree
$source_tree/src/copy|outside the folders left out
$scratch/outer/theirs|did not make
CASES

# Its own mirror, inside a build folder of the tree: made, then pruned.
mirror=$source_tree/build/mirror
"$tool" "$source_tree" "$mirror" > "$scratch/out" 2>&1 || fail "first mirror: $(cat "$scratch/out")"
grep -q '\\212\\256' "$mirror/src/a.cpp" 2>/dev/null || fail "the literal was not escaped in the mirror"
[ -f "$mirror/.literals-escaped" ] || fail "no mark in the mirror"
rm "$source_tree/src/a.cpp"
"$tool" "$source_tree" "$mirror" > "$scratch/out" 2>&1 || fail "second mirror: $(cat "$scratch/out")"
[ ! -e "$mirror/src/a.cpp" ] || fail "a file whose source is gone stayed in the mirror"
[ -f "$scratch/outer/theirs/keep.txt" ] && [ -f "$scratch/outer/notes.txt" ] || fail "a file of someone else's is gone"

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "escape_literals: every refusal and refresh as it should be"
