#!/usr/bin/env bash
# Quick start, first command: installs the build dependencies, builds the
# library and runs the example program on its built-in sample data.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh build
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DOVRIX32_BUILD_TESTS=OFF >/dev/null
cmake --build build/release -j"$(nproc)"
# The files stay in build/example/ for a look with other tools (ogrinfo build/example/cities.shp).
out=build/example
mkdir -p "$out"
build/release/examples/quickstart "$out"
echo "the example's files are in $out/; ovrix finds nothing wrong with them:"
build/release/apps/ovrix/ovrix check "$out/cities" "$out/parcels"
