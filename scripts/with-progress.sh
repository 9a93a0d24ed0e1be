#!/usr/bin/env bash
# Runs a command whose long test suites report each finished case to the
# file HOTFIX_PROGRESS names (tests/wine/host/progress.cpp), and shows those
# lines as they come: ctest itself shows a test's output only at its end.
#
#   scripts/with-progress.sh FILE COMMAND [ARG...]
# Exit status: the command's.
set -uo pipefail
progress=$(realpath -m "$1")
shift
mkdir -p "$(dirname "$progress")"
: > "$progress"
export HOTFIX_PROGRESS=$progress
tail -n +1 -s 1 -f "$progress" &
tailer=$!
"$@"
status=$?
sleep 1.5  # tail polls each second: let it print the last lines
kill "$tailer" 2>/dev/null
wait "$tailer" 2>/dev/null
exit "$status"
