#!/usr/bin/env bash
# Compares the dynamic symbols of the shared library (or the export table of
# the DLL, read with the objdump given as third argument) with the functions
# that the public header declares: the two lists must be identical.
set -euo pipefail
header=$1
lib=$2
declared=$(grep -oE '^OVRIX32_API[^(]*\b(Shp|Db|Velq)_[A-Za-z0-9_]+\(' "$header" |
           grep -oE '(Shp|Db|Velq)_[A-Za-z0-9_]+' | sort -u)
case "$lib" in
  *.dll)  # the names of the export table, which objdump -p lists as "[ordinal] name" lines
    objdump=${3:-objdump}
    exported=$("$objdump" -p "$lib" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
               grep -E '^\s*\[ *[0-9]+\] ' | awk '{print $NF}' | sort -u) ;;
  *) exported=$(nm -D --defined-only "$lib" | awk '$2 ~ /^[TtWwDdBbRr]$/ {print $3}' | sed 's/@.*//' | sort -u) ;;
esac
if [ "$declared" != "$exported" ]; then
  echo "declared in the header but not exported:"
  comm -23 <(echo "$declared") <(echo "$exported")
  echo "exported but not declared in the header:"
  comm -13 <(echo "$declared") <(echo "$exported")
  exit 1
fi
if [[ "$lib" == *.dll ]]; then
  # Nothing but the system's own DLLs: the C and C++ runtimes are linked in.
  others=$("$objdump" -p "$lib" | awk '/DLL Name:/ {print $3}' | grep -viE '^(kernel32|user32|msvcrt)\.dll$' || true)
  [ -z "$others" ] || { echo "depends on non-system DLLs: $others"; exit 1; }
  echo "$(echo "$declared" | wc -l) functions declared and exported under plain names; system DLLs only"
  exit 0
fi
soname=$(objdump -p "$lib" | awk '/SONAME/ {print $2}')
case "$soname" in libovrix32.so.[0-9]*) ;; *) echo "unexpected SONAME '$soname'"; exit 1 ;; esac
echo "$(echo "$declared" | wc -l) functions declared and exported; SONAME $soname"
