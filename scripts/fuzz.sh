#!/usr/bin/env bash
# Fuzzes longer than CI: scripts/fuzz.sh [seconds per target, default 600]. New inputs and crashes
# collect in build/fuzz/tests/fuzz/work/<target>/ (see README to merge new inputs into the corpus).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test
CC=clang CXX=clang++ cmake -S . -B build/fuzz -DOVRIX32_FUZZ=ON -DOVRIX32_FUZZ_SECONDS="${1:-600}" >/dev/null
cmake --build build/fuzz -j"$(nproc)" --target fuzz_all
ctest --test-dir build/fuzz --output-on-failure -L fuzz-run --timeout 0
