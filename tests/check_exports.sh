#!/usr/bin/env bash
# Compares the dynamic symbols of the shared library with the functions that
# the public header declares: the two lists must be identical.
set -euo pipefail
header=$1
lib=$2
declared=$(grep -oE '^OVRIX32_API[^(]*\b(Shp|Db|Velq)_[A-Za-z0-9_]+\(' "$header" |
           grep -oE '(Shp|Db|Velq)_[A-Za-z0-9_]+' | sort -u)
exported=$(nm -D --defined-only "$lib" | awk '$2 ~ /^[TtWwDdBbRr]$/ {print $3}' | sed 's/@.*//' | sort -u)
if [ "$declared" != "$exported" ]; then
  echo "declared in the header but not exported:"
  comm -23 <(echo "$declared") <(echo "$exported")
  echo "exported but not declared in the header:"
  comm -13 <(echo "$declared") <(echo "$exported")
  exit 1
fi
soname=$(objdump -p "$lib" | awk '/SONAME/ {print $2}')
case "$soname" in libovrix32.so.[0-9]*) ;; *) echo "unexpected SONAME '$soname'"; exit 1 ;; esac
echo "$(echo "$declared" | wc -l) functions declared and exported; SONAME $soname"
