#!/usr/bin/env bash
# Runs a GoogleTest program as N shards at once, each with Wine prefixes of
# its own, then shows each shard's output. In the lane's guest one shard keeps
# about one of the guest's two processors busy (a Wine case is mostly one
# program at a time); two shards use both.
#
#   scripts/lane/shards.sh N PROGRAM [ARG...]
# Exit status: 0 when every shard passed, else the first failing shard's.
set -uo pipefail
n=$1
shift
root=${HOTFIX_WINE_ROOT:-/var/lib/hotfix/wine}
logs=$(mktemp -d)
pids=()
for ((i = 0; i < n; i++)); do
  GTEST_TOTAL_SHARDS=$n GTEST_SHARD_INDEX=$i HOTFIX_SHARD="$((i + 1))/$n" \
    HOTFIX_WINE_ROOT=$root/shard$((i + 1)) "$@" > "$logs/$i" 2>&1 &
  pids+=($!)
done
status=0
for ((i = 0; i < n; i++)); do
  code=0
  wait "${pids[$i]}" || code=$?
  echo "=== shard $((i + 1)) of $n: exit status $code"
  cat "$logs/$i"
  [ "$status" = 0 ] && status=$code
done
rm -rf "$logs"
exit "$status"
