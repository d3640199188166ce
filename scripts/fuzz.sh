#!/usr/bin/env bash
# Runs a fuzzing campaign on one target of fuzz/ with clang's libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer:
#
#   scripts/fuzz.sh TARGET SECONDS [libFuzzer options...]
#   scripts/fuzz.sh --list
#
# clang has no code-page-932 execution character set, so the campaign builds
# a mirror of the tree (build/fuzz-src) whose non-ASCII string literals
# fuzz/support/escape_literals has rewritten as octal escapes of their
# Shift-JIS bytes: the program holds the same bytes as the GCC build. The
# mirror is refreshed on every run and builds incrementally in build/fuzz.
#
# The corpus grows in build/fuzz-corpus/TARGET (seeded from
# fuzz/TARGET/seeds); inputs that crash, hang (10 s), leak or break a
# property land in build/fuzz-artifacts/TARGET. Copy one into
# fuzz/TARGET/repro/ (with a name that says what it shows) once mended: the
# ordinary test build replays it from then on.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

if [ "${1:-}" = "--list" ]; then
  for f in fuzz/*/fuzz.cpp; do basename "$(dirname "$f")"; done
  exit 0
fi
if [ $# -lt 2 ]; then
  echo "usage: scripts/fuzz.sh TARGET SECONDS [libFuzzer options...] | --list" >&2
  exit 2
fi
target=$1
seconds=$2
shift 2
if [ ! -f "fuzz/$target/fuzz.cpp" ]; then
  echo "no fuzz target '$target' (scripts/fuzz.sh --list)" >&2
  exit 2
fi

for p in clang-16 libclang-rt-16-dev; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update && apt-get install -y --no-install-recommends clang-16 libclang-rt-16-dev
    break
  fi
done

# The mirror with escaped literals, rewritten only where sources changed.
mkdir -p build/fuzz-tools
c++ -std=c++20 -O1 -o build/fuzz-tools/escape_literals fuzz/support/escape_literals.cpp
build/fuzz-tools/escape_literals "$root" "$root/build/fuzz-src"

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S build/fuzz-src -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-16 -DCMAKE_CXX_COMPILER=clang++-16 "${launcher[@]}" \
  -DZR_SANITIZE=address,undefined -DZR_FUZZ_ENGINE=libfuzzer -DZR_BUILD_TESTS=OFF -DZR_BUILD_BENCH=OFF >/dev/null
cmake --build build/fuzz -j "${FUZZ_BUILD_JOBS:-3}" --target "fuzz_$target"

corpus="$root/build/fuzz-corpus/$target"
artifacts="$root/build/fuzz-artifacts/$target"
mkdir -p "$corpus" "$artifacts"
extra=()
[ -f "fuzz/$target/options" ] && read -r -a extra < "fuzz/$target/options"
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
exec "$root/build/fuzz/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$artifacts/" "${extra[@]}" "$@" "$corpus" "$root/fuzz/$target/seeds"
