#!/usr/bin/env bash
# Set-up, then builds the tests with AddressSanitizer and
# UndefinedBehaviorSanitizer and runs them; the threaded tests are built and
# run once more under ThreadSanitizer (that build makes the test programs
# only). The long replays (see tests/CMakeLists.txt) are built and run in an
# optimised build without sanitizers. ccache is used when it is installed.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup.sh

jobs=$(nproc)
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

launcher=()
if command -v ccache > /dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi

cmake -S . -B build/asan -G Ninja -DZR_SANITIZE=address,undefined -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZR_TESTS=short -DZR_BUILD_BENCH=OFF "${launcher[@]}"
cmake --build build/asan -j "$jobs"

cmake -S . -B build/tsan -G Ninja -DZR_SANITIZE=thread -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}"
cmake --build build/tsan -j "$jobs" --target test_programs

# -O2 without NDEBUG.
cmake -S . -B build/opt -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE=-O2 -DCMAKE_C_FLAGS_RELEASE=-O2 \
  -DZR_TESTS=long -DZR_BUILD_BENCH=OFF -DZR_BUILD_FUZZ=OFF "${launcher[@]}"
cmake --build build/opt -j "$jobs" --target test_programs

status=0
# One more test than cores: some tests wait on their child processes or
# the X server.
(cd build/asan && ctest --output-on-failure -j "$((jobs + 1))" --timeout 300) || status=1
(cd build/tsan && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  ctest --output-on-failure -j "$jobs" --timeout 300) || status=1
(cd build/opt && ctest --output-on-failure -j "$jobs" --timeout 300) || status=1
exit $status
