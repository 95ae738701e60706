#!/usr/bin/env bash
# Quick start, second command: installs what the tests need, then builds and
# runs every test twice: a normal build and an AddressSanitizer +
# UndefinedBehaviorSanitizer build. Both build with -Wall -Wextra -Werror.
# A third build, with clang, runs each fuzz target for OVRIX32_FUZZ_SECONDS
# seconds (default 60); the saved fuzz inputs are replayed by the first two.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test
jobs=$(nproc)
run() {
  local dir=$1; shift
  echo "=== $dir"
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j"$jobs"
  (cd "$dir" && ctest --output-on-failure -j"$jobs" --timeout 600)
}
run build/test
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run build/test-sanitize -DOVRIX32_SANITIZE=ON
echo "=== build/test-fuzz"
CC=clang CXX=clang++ cmake -S . -B build/test-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOVRIX32_FUZZ=ON \
  -DOVRIX32_FUZZ_SECONDS="${OVRIX32_FUZZ_SECONDS:-60}" >/dev/null
cmake --build build/test-fuzz -j"$jobs" --target fuzz_all
(cd build/test-fuzz && ctest --output-on-failure -j"$jobs" -L fuzz-run --timeout 900)
