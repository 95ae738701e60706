#!/usr/bin/env bash
# Runs one libFuzzer target for a bounded time. New inputs go to a work
# directory in the build tree; the saved corpus in the repository is only read.
#   run_fuzzer.sh <fuzzer> <saved corpus dir> <work dir> <seconds> [libFuzzer options...]
set -euo pipefail
fuzzer=$1 corpus=$2 work=$3 seconds=$4
shift 4
mkdir -p "$work/corpus" "$work/artifacts"
exec "$fuzzer" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -malloc_limit_mb=512 \
  -max_len=65536 -print_final_stats=1 -artifact_prefix="$work/artifacts/" "$@" "$work/corpus" "$corpus"
