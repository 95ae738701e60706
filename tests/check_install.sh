#!/usr/bin/env bash
# Installs the built library into a temporary prefix and builds the C example
# against it twice: once with pkg-config, once with find_package(ovrix32).
set -euo pipefail
src=$1
bin=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$bin" --prefix "$work/prefix" >/dev/null
lib=$(ls -d "$work"/prefix/lib*/ | head -1)
test -L "$lib/libovrix32.so" || { echo "no libovrix32.so link"; exit 1; }
ls "$lib"/libovrix32.so.[0-9]* >/dev/null

# pkg-config
export PKG_CONFIG_PATH="$lib/pkgconfig"
cc -std=c99 -Wall -Wextra -Werror $(pkg-config --cflags ovrix32) "$src/examples/quickstart.c" \
   -o "$work/quickstart" $(pkg-config --libs ovrix32)
(cd "$work" && LD_LIBRARY_PATH="$lib" ./quickstart >/dev/null)

# find_package
mkdir -p "$work/consumer"
cat > "$work/consumer/CMakeLists.txt" <<CM
cmake_minimum_required(VERSION 3.20)
project(consumer C)
find_package(ovrix32 REQUIRED)
add_executable(quickstart "$src/examples/quickstart.c")
target_link_libraries(quickstart PRIVATE ovrix32::ovrix32)
CM
cmake -S "$work/consumer" -B "$work/consumer/build" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/consumer/build" >/dev/null
(cd "$work" && LD_LIBRARY_PATH="$lib" "$work/consumer/build/quickstart" >/dev/null)
echo "installed copy builds and runs through pkg-config and find_package"
