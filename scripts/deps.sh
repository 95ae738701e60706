#!/usr/bin/env bash
# Installs Debian packages that are missing (as root). Runs apt-get only when
# something is actually missing, so repeated builds stay fast and offline.
#   scripts/deps.sh build   compiler and CMake
#   scripts/deps.sh test    everything the test suite needs as well
#   scripts/deps.sh memcheck  the test suite's needs and valgrind
set -euo pipefail
build_pkgs=(cmake g++ make pkg-config)
test_pkgs=(googletest libgtest-dev libbenchmark-dev binutils clang libclang-rt-14-dev strace
           gdal-bin python3-pyshp gcc-multilib g++-multilib mingw-w64
           wine64)
case "${1:-build}" in
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
