#!/usr/bin/env bash
# Real-world shapefiles for the interoperability tests: the sample data that
# Debian's r-cran-sf package ships in its shape/ folder. The package is only
# downloaded and unpacked (no R is installed) into a cache folder, normally
# <build>/interop-cache; nothing from it is committed.
#   scripts/fetch-sample-shapefiles.sh CACHE_DIR
# Leaves the files in CACHE_DIR/shape and prints that folder.
set -euo pipefail
cache=${1:?usage: $0 CACHE_DIR}
mkdir -p "$cache"
cache=$(cd "$cache" && pwd)
exec 9>"$cache/.lock"
flock 9
if [ ! -f "$cache/shape/.complete" ]; then
  tmp=$(mktemp -d "$cache/fetch.XXXXXX")
  trap 'rm -rf "$tmp"' EXIT
  # apt-get download needs a package list; fetch one only when it has none.
  if ! (cd "$tmp" && apt-get download r-cran-sf >/dev/null 2>&1); then
    apt-get update -qq
    (cd "$tmp" && apt-get download r-cran-sf >/dev/null)
  fi
  dpkg -x "$tmp"/r-cran-sf_*.deb "$tmp/x"
  src=$(find "$tmp/x" -type d -path '*/sf/shape' | head -n1)
  [ -n "$src" ] || { echo "no shape/ folder in r-cran-sf" >&2; exit 1; }
  rm -rf "$cache/shape"
  cp -r "$src" "$cache/shape"
  touch "$cache/shape/.complete"
fi
echo "$cache/shape"
