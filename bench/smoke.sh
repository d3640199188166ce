#!/usr/bin/env bash
# The smoke run of one benchmark program (the test build's bench.* tests):
# the program run once with the setting given (its smallest), which must
# end with status 0, report no benchmark's error and prove what it
# compares:
# - the renderer benchmarks' frames: every implementation of a row draws
#   our picture (the same frame, or one within the row's tolerance) but for
#   those listed in smoke_other_pictures.txt, which must draw another;
# - the movie benchmark: ours equals libtheora's frames through our tables
#   in every frame of each clip, with the same hash;
# - the sprite and desktop benchmarks: each path drew as it was asked to.
# The program's output is kept in the test's log, with a closing line
# ("smoke: ...") that the CI run shows.
#
#   bench/smoke.sh PROGRAM [ARGUMENTS...]
set -uo pipefail

program=$1
shift
name=$(basename "$program")
list="$(cd "$(dirname "$0")" && pwd)/smoke_other_pictures.txt"
output=$(mktemp "${TMPDIR:-/tmp}/bench-smoke.XXXXXX")
trap 'rm -f -- "$output"' EXIT

start=$(date +%s)
"$program" "$@" > "$output" 2>&1
status=$?
seconds=$(($(date +%s) - start))
cat "$output"
echo

problems=()
[ "$status" -eq 0 ] || problems+=("exit status $status")
if grep -q "ERROR OCCURRED" "$output"; then
  problems+=("benchmarks ended in an error: $(grep -o "[^ ]*ERROR OCCURRED.*" "$output" | tr '\n' ' ')")
fi
proof=""

# The frames section of bench_table.h: a row's name, then its
# implementations, each "    <name, 18 wide> <hash>  <verdict>".
if grep -q "^frames (hash of the colour channels" "$output"; then
  verdicts=$(awk '
    /^frames \(hash of the colour channels/ { on = 1; next }
    on && /^$/ { exit }
    on && /^[^ ]/ { row = $0; next }
    on && /^    tolerance:/ { next }
    on && /^    / {
      impl = substr($0, 5, 18); sub(/ +$/, "", impl)
      rest = substr($0, 24)
      verdict = rest ~ /the same frame|within the tolerance/ ? "ours" \
              : rest ~ /another picture/ ? "other" \
              : rest ~ /not compared/ ? "not compared" \
              : impl == "ours" ? "" : "unknown"
      if (verdict != "") print row "\t" impl "\t" verdict
    }' "$output")
  same=0
  other=0
  while IFS=$'\t' read -r row impl verdict; do
    [ -n "$row" ] || continue
    listed=0
    grep -qxF "$name	$row	$impl" "$list" && listed=1
    case "$verdict/$listed" in
      ours/0) same=$((same + 1)) ;;
      other/1) other=$((other + 1)) ;;
      ours/1) problems+=("$row: $impl draws our picture now (take it off smoke_other_pictures.txt)") ;;
      other/0) problems+=("$row: $impl draws another picture") ;;
      *) problems+=("$row: $impl: $verdict") ;;
    esac
  done <<< "$verdicts"
  while IFS=$'\t' read -r lname lrow limpl; do
    [ "$lname" = "$name" ] || continue
    printf '%s\n' "$verdicts" | grep -qF "$lrow	$limpl	" || problems+=("$lrow: $limpl was not run")
  done < <(grep -v '^#' "$list")
  [ $((same + other)) -gt 0 ] || problems+=("no frames proved")
  proof="; $same peer frames equal to ours (or within the row's tolerance), $other other pictures as listed"
fi

# The movie benchmark: a line for each clip.
if [ "$name" = movie_bench ]; then
  clips=$(grep -c "ours equals libtheora's frames" "$output")
  equal=$(grep -cE "ours equals libtheora's frames through our tables in ([0-9]+) of \1 frames \(hash [0-9a-f]+, the same\)" "$output")
  [ "$clips" -gt 0 ] && [ "$clips" -eq "$equal" ] || problems+=("ours differs from libtheora's frames")
  if grep -qE "give other pixels!|differ from the decoder's pictures!" "$output"; then
    problems+=("the peer's set-ups disagree: $(grep -E "other pixels!|decoder's pictures!" "$output" | tr '\n' ' ')")
  fi
  proof="; ours equals libtheora's frames in $equal of $clips clips (hashes $(grep -oE "hash [0-9a-f]+, the same" "$output" | cut -d' ' -f2 | tr -d , | paste -sd' '))"
fi

# The sprite benchmark's OpenGL row drew through OpenGL.
if [ "$name" = gl_sprite_bench ] && grep -q "^OpenGL renderer: (none)" "$output"; then
  problems+=("no OpenGL renderer")
fi
# The desktop benchmark: each column took its path.
if [ "$name" = desktop_bench ]; then
  grep -q "both paths!" "$output" && problems+=("a path took both ways")
  grep -q "opengl (OpenGL path)" "$output" || problems+=("the opengl column did not draw through OpenGL")
  grep -q "software (software path)" "$output" || problems+=("the software column did not draw in software")
fi

if [ ${#problems[@]} -eq 0 ]; then
  echo "smoke: $name $*: passed in $seconds s$proof"
  exit 0
fi
echo "smoke: $name $*: FAILED in $seconds s$proof"
for p in "${problems[@]}"; do echo "smoke: $name: $p"; done
exit 1
