#!/usr/bin/env bash
# Quick start, second command: installs what the tests need, then builds and
# runs every test twice: a normal build and an AddressSanitizer +
# UndefinedBehaviorSanitizer build. Both build with -Wall -Wextra -Werror.
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
