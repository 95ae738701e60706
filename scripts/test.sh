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
# OVRIX32_WINE32=0 skips the attempt to install wine32 (it adds, and on failure removes, Debian's
# i386 architecture).
if [ "${OVRIX32_WINE32:-1}" = 0 ] || ! scripts/deps.sh wine32; then
  echo "NOTE: wine32 is not installed and could not be installed here (reason above, if any): the"
  echo "      Windows i686 suite is SKIPPED; the i686 DLL gets its export-table check only."
fi
run build/test-win32 -DCMAKE_BUILD_TYPE=RelWithDebInfo --toolchain cmake/toolchains/mingw-i686.cmake
ctest_wrap=()
export CC=clang CXX=clang++
target=fuzz_all ctest_args=(-L fuzz-run)
run build/test-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOVRIX32_FUZZ=ON -DOVRIX32_FUZZ_SECONDS="${OVRIX32_FUZZ_SECONDS:-60}"
