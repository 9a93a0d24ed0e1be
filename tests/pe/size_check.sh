#!/usr/bin/env bash
# The i686 Hotfix.exe no larger than its limit (tests/pe/size-limit.txt). The
# size of a build is deterministic for a toolchain, so this is no timed test.
#   tests/pe/size_check.sh FILE LIMITS
set -uo pipefail
file=$1
ceiling=$(awk '$1 == "ceiling" {print $2}' "$2")
target=$(awk '$1 == "target" {print $2}' "$2")
size=$(stat -c %s "$file") || exit 2
echo "$file: $size bytes; limit $ceiling, the NSIS peer $target ($((size - target)) to go)"
if [ "$size" -gt "$ceiling" ]; then
  echo "FAIL: $((size - ceiling)) bytes over the limit"
  exit 1
fi
[ "$size" -lt "$ceiling" ] && echo "note: lower the limit in $2 to $size"
exit 0
