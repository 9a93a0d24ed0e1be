#!/usr/bin/env bash
# Every bundled scenario makes the same platform calls, in the same order and
# with the same results, as recorded in tests/sim/traces/: a change of the
# code's structure must not change what the program asks of Windows.
#   tests/sim/trace_test.sh HOTFIX_SIM [--record]
set -uo pipefail
sim=$1
here=$(cd "$(dirname "$0")/../.." && pwd)
traces=$here/tests/sim/traces
failures=0 count=0
diffs=$(mktemp)
trap 'rm -f "$diffs" "$diffs.out"' EXIT
for dir in "$here"/scenarios/*/; do
  name=$(basename "$dir")
  count=$((count + 1))
  if [ "${2:-}" = --record ]; then
    "$sim" --trace "$dir" > "$traces/$name.txt" 2>&1
    continue
  fi
  if [ ! -f "$traces/$name.txt" ]; then
    echo "FAILED: $name has no recorded trace (run with --record)"; failures=$((failures + 1)); continue
  fi
  # The run's exit status is part of the report; only the text is compared.
  "$sim" --trace "$dir" > "$diffs.out" 2>&1
  if diff -u "$traces/$name.txt" "$diffs.out" > "$diffs"; then
    echo "ok: $name"
  else
    echo "FAILED: $name differs from its recorded trace:"; head -40 "$diffs"
    failures=$((failures + 1))
  fi
done
[ "$count" -gt 0 ] || { echo "FAILED: no scenario found"; exit 1; }
echo "$((count - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
