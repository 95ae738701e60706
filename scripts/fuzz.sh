#!/usr/bin/env bash
# Runs the fuzz targets by hand, longer than CI does.
#   scripts/fuzz.sh [seconds per target] [target ...]   (default: 600 s, every target)
#   scripts/fuzz.sh --merge [target ...]
# New inputs collect in build/fuzz/tests/fuzz/work/<target>/corpus and crash
# inputs in .../artifacts. --merge adds to tests/fuzz/corpus/<target> only
# the collected inputs that reach new code, so the saved corpora stay small.
# To replay a crash input: build/fuzz/tests/fuzz/<target>_fuzz <file>.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test
merge=0
if [ "${1:-}" = "--merge" ]; then merge=1; shift; fi
seconds=600
if [[ "${1:-}" =~ ^[0-9]+$ ]]; then seconds=$1; shift; fi
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(shapefile table writer)
CC=clang CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOVRIX32_FUZZ=ON >/dev/null
cmake --build build/fuzz -j"$(nproc)" --target fuzz_all
for t in "${targets[@]}"; do
  work=build/fuzz/tests/fuzz/work/$t
  if [ $merge = 1 ]; then
    mkdir -p "$work/corpus"
    build/fuzz/tests/fuzz/${t}_fuzz -merge=1 -max_len=65536 "tests/fuzz/corpus/$t" "$work/corpus"
  else
    echo "=== $t: $seconds s"
    tests/fuzz/run_fuzzer.sh "build/fuzz/tests/fuzz/${t}_fuzz" "tests/fuzz/corpus/$t" "$work" "$seconds"
  fi
done
