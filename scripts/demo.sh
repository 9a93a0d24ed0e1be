#!/usr/bin/env bash
# make run: Hotfix.exe under Wine on a bundled demo machine.
#   scripts/demo.sh [SCENARIO] [ANSWER]
# SCENARIO: applies (default), firewall-missing, wrong-version, windows-2000
# ANSWER to the restart question: no (default), yes, enter.
# INTERACTIVE=1 with DISPLAY set shows the boxes on that display for you to answer.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
demo=$here/build/native/hotfix_demo
if [ ! -x "$demo" ]; then
  echo "$demo is missing; run make build first" >&2
  exit 1
fi
exec "$demo" "${1:-applies}" "${2:-no}" </dev/null
