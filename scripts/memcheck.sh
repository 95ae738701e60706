#!/usr/bin/env bash
# Runs the whole test suite under valgrind's memcheck, which must report no
# error and no leak. Builds build/memcheck (plain, no sanitizers), then runs
# every test program once under valgrind: each GoogleTest program with all of
# its tests, every other compiled test with its own arguments. Tests that are
# scripts (export list, installation, interoperability drivers) are skipped:
# they check files, not memory. Takes a few minutes; CI does not run it.
#   scripts/memcheck.sh [ctest -R regex]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh memcheck
dir=build/memcheck
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$dir" -j"$(nproc)"
filter=()
[ $# -gt 0 ] && filter=(-R "$1")
# One line per program to run: working directory, then the command.
(cd "$dir" && ctest --show-only=json-v1 "${filter[@]}") | python3 -c '
import json, sys
seen = set()
for t in json.load(sys.stdin)["tests"]:
    cmd = t.get("command") or []
    if not cmd or cmd[0].endswith((".sh", ".py")) or "python" in cmd[0] or "cmake" in cmd[0]:
        continue
    wd = next((p["value"] for p in t.get("properties", []) if p["name"] == "WORKING_DIRECTORY"), ".")
    if any(a.startswith("--gtest_filter") for a in cmd[1:]):
        cmd = cmd[:1]  # the whole program once
    key = (wd, tuple(cmd))
    if key not in seen:
        seen.add(key)
        print("\t".join([wd] + cmd))
' > "$dir/memcheck-list.txt"
failed=0
count=0
while IFS=$'\t' read -r wd prog args; do
  count=$((count + 1))
  log="$dir/memcheck-$(basename "$prog")-$count.log"
  echo "--- $(basename "$prog") $args"
  # shellcheck disable=SC2086
  if ! (cd "$wd" && valgrind --quiet --error-exitcode=99 --leak-check=full --show-leak-kinds=definite,indirect \
          --errors-for-leak-kinds=definite,indirect --track-origins=yes --log-file="$OLDPWD/$log" \
          "$prog" $args >/dev/null 2>&1); then
    echo "FAILED (see $log)"
    failed=$((failed + 1))
  elif [ -s "$log" ]; then
    echo "valgrind reported (see $log)"
    failed=$((failed + 1))
  fi
done < "$dir/memcheck-list.txt"
echo "memcheck: $((count - failed)) passed, $failed failed"
[ $failed = 0 ]
