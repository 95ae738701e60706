#!/usr/bin/env bash
# Installs Debian packages that are missing (as root). Runs apt-get only when
# something is actually missing, so repeated builds stay fast and offline.
#   scripts/deps.sh build   compiler and CMake
#   scripts/deps.sh test    everything the test suite needs as well
#   scripts/deps.sh memcheck  the test suite's needs and valgrind
#   scripts/deps.sh wine32    32-bit wine, where this machine can have it (1 when it cannot)
set -euo pipefail
build_pkgs=(cmake g++ make pkg-config libcli11-dev nlohmann-json3-dev)
test_pkgs=(googletest libgtest-dev libbenchmark-dev binutils clang libclang-rt-14-dev strace
           gdal-bin python3-pyshp gcc-multilib g++-multilib mingw-w64
           wine64 xvfb xauth)
case "${1:-build}" in
  wine32)  # 32-bit wine for the Windows i686 tests: needs Debian's i386 architecture. Optional:
           # where it cannot be installed, the architecture is taken away again, apt's reason is
           # printed and the result is 1.
    dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed" && exit 0
    export DEBIAN_FRONTEND=noninteractive
    log=$(mktemp)
    dpkg --add-architecture i386
    if apt-get update -qq >"$log" 2>&1 &&
       apt-get install -y -qq --no-install-recommends wine32:i386 >>"$log" 2>&1; then
      rm -f "$log"; exit 0
    fi
    grep -E '^(E|W):' "$log" | head -3 >&2 || true
    rm -f "$log"
    dpkg --remove-architecture i386 2>/dev/null || true
    apt-get update -qq >/dev/null 2>&1 || true
    exit 1 ;;
  build) want=("${build_pkgs[@]}") ;;
  test) want=("${build_pkgs[@]}" "${test_pkgs[@]}") ;;
  memcheck) want=("${build_pkgs[@]}" "${test_pkgs[@]}" valgrind) ;;
  *) echo "usage: $0 build|test|memcheck" >&2; exit 2 ;;
esac
missing=()
for p in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
