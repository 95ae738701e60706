#!/usr/bin/env bash
# The layers of src/ include one way: platform at the bottom, then shape, then records; the table
# stands on platform alone. Prints every include that runs the wrong way and fails if there is one.
set -uo pipefail
declare -A allowed=([platform]="platform" [shape]="platform shape" [records]="platform shape records"
                    [table]="platform table")
bad=0
for layer in "${!allowed[@]}"; do
  while IFS=: read -r file used; do
    [[ " ${allowed[$layer]} " == *" $used "* ]] || { echo "$file includes $used/"; bad=1; }
  done < <(grep -oE '^#include "[a-z]+/' "$1/src/$layer"/* | sed -E 's/#include "([a-z]+)\//\1/')
done
exit $bad
