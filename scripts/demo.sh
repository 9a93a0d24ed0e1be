#!/usr/bin/env bash
# make run: Hotfix.exe under Wine on a bundled demo machine.
#   scripts/demo.sh [SCENARIO] [ANSWER] [ARCH]
# SCENARIO: applies (default), firewall-missing, wrong-version, windows-2000
# ANSWER to the restart question: no (default), yes, enter.
# ARCH: i686 (the build that ships; in the 32-bit lane where this kernel runs
# no 32-bit code), x86_64, or empty: i686 where 32-bit Wine runs here, else x86_64.
# INTERACTIVE=1 with DISPLAY set shows the boxes on that display for you to answer.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
demo=$here/build/native/hotfix_demo
if [ ! -x "$demo" ]; then
  echo "$demo is missing; run make build first" >&2
  exit 1
fi
case ${3:-} in
  i686) HOTFIX_DEMO_ARCH=i686 exec "$here/scripts/lane/i686.sh" "$demo" "${1:-applies}" "${2:-no}" </dev/null ;;
  x86_64 | "") HOTFIX_DEMO_ARCH=${3:-} exec "$demo" "${1:-applies}" "${2:-no}" </dev/null ;;
  *) echo "ARCH must be i686 or x86_64" >&2; exit 2 ;;
esac
