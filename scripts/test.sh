#!/usr/bin/env bash
# Set-up, then builds the tests with AddressSanitizer and
# UndefinedBehaviorSanitizer and runs them; the threaded tests are built and
# run once more under ThreadSanitizer (that build makes the test programs
# only). The long replays (see tests/CMakeLists.txt), the screen gallery on
# both drawing back ends and every benchmark are built in an optimised build
# without sanitizers, with assertions, and run there (each benchmark once,
# with its smallest setting: bench/smoke.sh). ccache is used when it is
# installed. A table of the phases' times (wall and processor) closes the
# run.
set -euo pipefail
cd "$(dirname "$0")/.."

# The processor time of the script's finished children, in seconds, into
# the variable named (times runs in this shell, not in a subshell).
times_file=$(mktemp "${TMPDIR:-/tmp}/test-times.XXXXXX")
children_cpu() {
  times > "$times_file"
  printf -v "$1" '%s' "$(awk 'NR == 2 {
    n = 0
    for (i = 1; i <= 2; ++i) { split($i, t, "m"); n += t[1] * 60 + t[2] }
    printf "%.1f", n
  }' "$times_file")"
}
phase_lines=()
# phase NAME COMMAND...: runs the command and notes its times; its status
# is the command's.
phase() {
  local name=$1 status=0 start end cpu0 cpu1
  shift
  start=$(date +%s.%N)
  children_cpu cpu0
  "$@" || status=$?
  end=$(date +%s.%N)
  children_cpu cpu1
  phase_lines+=("$(awk -v n="$name" -v s="$start" -v e="$end" -v c0="$cpu0" -v c1="$cpu1" -v st="$status" \
    'BEGIN { printf "%-36s %8.0f %12.0f%s", n, e - s, c1 - c0, st == 0 ? "" : "   (failed)" }')")
  return $status
}
run_start=$(date +%s.%N)
print_phases() {
  local cpu
  children_cpu cpu
  rm -f -- "$times_file"
  echo
  printf '%-36s %8s %12s\n' "phase" "wall, s" "processor, s"
  printf '%s\n' "${phase_lines[@]}"
  awk -v s="$run_start" -v e="$(date +%s.%N)" -v c="$cpu" 'BEGIN { printf "%-36s %8.0f %12.0f\n", "the whole run", e - s, c }'
  echo "($(nproc) processors; $(uptime | sed 's/.*load average/load average/'))"
}
trap print_phases EXIT

jobs=$(nproc)
launcher=()
if command -v ccache > /dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi

# The ThreadSanitizer and optimised trees, configured and built by a copy of
# this script (--build-others PHASES_FILE) in the background at the lowest
# priority while the sanitizer tree builds and runs its tests: they take the
# processor time left idle there (links, tests waiting on their children or
# the X server), and the whole of it once the sanitizer tests are done.
if [ "${1:-}" = --build-others ]; then
  trap - EXIT
  status=0
  phase "(background) tsan: configure" cmake -S . -B build/tsan -G Ninja -DZR_SANITIZE=thread \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" &&
    phase "(background) tsan: build" cmake --build build/tsan -j "$jobs" --target test_programs &&
    # -O1 without NDEBUG: the long tests and every benchmark (their smoke
    # runs). It compiles in a sixth less time than -O2, and they run as fast:
    # their time goes to the pixel loops and the system.
    phase "(background) opt: configure" cmake -S . -B build/opt -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_CXX_FLAGS_RELEASE=-O1 -DCMAKE_C_FLAGS_RELEASE=-O1 -DZR_TESTS=long -DZR_BUILD_BENCH=ON \
      -DZR_BUILD_FUZZ=OFF "${launcher[@]}" &&
    phase "(background) opt: build" cmake --build build/opt -j "$jobs" || status=1
  printf '%s\n' "${phase_lines[@]}" > "$2"
  rm -f -- "$times_file"
  exit $status
fi

phase "set-up" ./scripts/setup.sh

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# The OpenGL tests draw on Mesa's llvmpipe under Xvfb. Its rasteriser
# threads (one for each core) spend a quarter of its processor time handing
# work out, and the tests already run side by side on every core: it
# rasterises on the drawing thread instead. The pictures are the same.
export LP_NUM_THREADS=0

mkdir -p build
others_phases=build/others.phases
rm -f -- "$others_phases"
# In a process group of its own (job control for this one start), but in
# this session: the kernel shares the processor out between sessions first,
# and the lowest priority holds only against the processes of its own.
set -m
nice -n 19 "$PWD/scripts/test.sh" --build-others "$others_phases" > build/others.log 2>&1 &
others=$!
set +m
# Should this run end first, the background builds end with it.
trap 'kill -- -"$others" 2> /dev/null || true; print_phases' EXIT

phase "asan: configure" cmake -S . -B build/asan -G Ninja -DZR_SANITIZE=address,undefined \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZR_TESTS=short -DZR_BUILD_BENCH=OFF "${launcher[@]}"
phase "asan: build" cmake --build build/asan -j "$jobs"

status=0
# One more test than cores: some tests wait on their child processes or
# the X server.
phase "asan: tests" ctest --test-dir build/asan --output-on-failure -j "$((jobs + 1))" --timeout 300 || status=1

# (The wait's processor time is the background builds', shown by phase.)
others_status=0
phase "waiting for the background builds" wait "$others" || others_status=$?
echo "The ThreadSanitizer and optimised builds (in the background):"
cat build/others.log
if [ -f "$others_phases" ]; then
  while IFS= read -r line; do phase_lines+=("$line"); done < "$others_phases"
fi
if [ "$others_status" -ne 0 ]; then
  echo "The ThreadSanitizer or optimised build failed." >&2
  exit 1
fi

TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  phase "tsan: tests" ctest --test-dir build/tsan --output-on-failure -j "$jobs" --timeout 300 || status=1
# The resident-memory tests measure the C library's heap as the program has
# it by default (and first: the log of the run below is read after it).
phase "opt: resident-memory tests" ctest --test-dir build/opt --output-on-failure --timeout 300 \
  -L '^game/resident$' || status=1
# Groups/BackEnds runs each gallery group on both back ends and checks
# each run as Groups/Gallery (the gallery command's test) checks its one.
# (One more than cores here too: the desktop benchmark's smoke run waits on
# the program it drives.) Each gallery group starts the program twice and
# the benchmarks start it too: the C library's heap on huge pages (where
# the system gives them on request) spares them a third of their processor
# time, which went to the faults of fresh memory.
GLIBC_TUNABLES=glibc.malloc.hugetlb=1 \
  phase "opt: tests" ctest --test-dir build/opt --output-on-failure -j "$((jobs + 1))" --timeout 300 \
  -E '^Groups/Gallery\.' -LE '^game/resident$' || status=1
# What the optimised build's tests compared: each gallery screen on the two
# back ends, each benchmark's smoke run.
echo
echo "The gallery's screens, software against OpenGL (pixels above the threshold, unmatched, largest difference):"
grep -hE '^[a-z0-9]+-[0-9]+-.*\.png +[0-9]+ pixels above' build/opt/Testing/Temporary/LastTest.log || true
echo "($(grep -chE '^[a-z0-9]+-[0-9]+-.*\.png +[0-9]+ pixels above' build/opt/Testing/Temporary/LastTest.log) screens of" \
  "$(grep -chE '^[0-9]+/[0-9]+ Test: Groups/BackEnds\.' build/opt/Testing/Temporary/LastTest.log) groups)"
echo "The benchmarks' smoke runs:"
grep -h '^smoke: ' build/opt/Testing/Temporary/LastTest.log || true
exit $status
