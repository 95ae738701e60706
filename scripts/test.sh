#!/usr/bin/env bash
# Quick start, second command: installs what the tests need, then builds with -Werror and runs the
# whole suite in a RelWithDebInfo, a Release and an ASan+UBSan build, the suite and the fuzz
# replays in a 32-bit (i686) build, the Windows DLLs' checks (and the suite for x86_64 under wine64),
# and each fuzz target for OVRIX32_FUZZ_SECONDS (default 60) in a clang build. --fast: the first
# build only.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test
target=all ctest_args=() ctest_wrap=()
run() {
  local dir=$1; shift
  echo "=== $dir"
  cmake -S . -B "$dir" -DOVRIX32_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j"$(nproc)" --target "$target"
  (cd "$dir" && "${ctest_wrap[@]}" ctest --output-on-failure -j"$(nproc)" --timeout 900 "${ctest_args[@]}")
}
run build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo
[ "${1:-}" = --fast ] && exit 0
run build/test-release -DCMAKE_BUILD_TYPE=Release
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  run build/test-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOVRIX32_SANITIZE=ON
# The interface's own word size: the suite and the fuzz replays in a 32-bit (i686) build.
ctest_args=(-LE "fuzz-run|interop|install")
run build/test-i686 -DCMAKE_BUILD_TYPE=RelWithDebInfo --toolchain cmake/toolchains/linux-i686.cmake
ctest_args=()
# Windows DLLs, cross-built with mingw-w64: the export table of each; the x86_64 build also runs the
# suite, the fuzz replays and the C example under wine64, and so does the i686 build under wine32
# where the machine can install it (Debian's i386 architecture).
ctest_wrap=(xvfb-run -a)  # wine's windows (the helper's answer, message boxes) need an X server
run build/test-win64 -DCMAKE_BUILD_TYPE=RelWithDebInfo --toolchain cmake/toolchains/mingw-x86_64.cmake
# The i686 suite under wine32 is asked for with OVRIX32_WINE32=1: it has not yet run on a machine
# that could install wine32.
if [ "${OVRIX32_WINE32:-0}" = 1 ] && scripts/deps.sh wine32; then
  run build/test-win32 -DCMAKE_BUILD_TYPE=RelWithDebInfo --toolchain cmake/toolchains/mingw-i686.cmake
else
  echo "NOTE: no wine32 (OVRIX32_WINE32=1 installs it where the machine can have Debian's i386"
  echo "      architecture): the Windows i686 DLL gets its export-table check only."
  run build/test-win32 -DCMAKE_BUILD_TYPE=RelWithDebInfo --toolchain cmake/toolchains/mingw-i686.cmake
fi
ctest_wrap=()
export CC=clang CXX=clang++
target=fuzz_all ctest_args=(-L fuzz-run)
run build/test-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOVRIX32_FUZZ=ON -DOVRIX32_FUZZ_SECONDS="${OVRIX32_FUZZ_SECONDS:-60}"
