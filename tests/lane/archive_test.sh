#!/usr/bin/env bash
# The lane's guest takes its Debian archive from the host's apt sources: each
# row is an apt configuration and the entries the guest gets from it.
set -uo pipefail
source "$(dirname "$0")/../../scripts/lane/archive.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0

# check NAME EXPECTED (entries, ';'-joined) EXPECTED_MAIN; files are in $work/etc.
check() {
  local got main
  got=$(APT_ETC=$work/etc archive_entries bookworm | paste -sd';')
  main=$(APT_ETC=$work/etc archive_main bookworm)
  if [ "$got" != "$2" ] || [ "$main" != "$3" ]; then
    echo "FAIL $1: entries [$got] main [$main], wanted [$2] [$3]"
    failed=$((failed + 1))
  else
    echo "ok   $1"
  fi
  rm -rf "$work/etc"
}
etc() { mkdir -p "$work/etc/sources.list.d"; cat > "$work/etc/$1"; }

etc sources.list.d/debian.sources <<'X'
Types: deb
# a comment inside
URIs: http://mirror.test/debian
Suites: bookworm bookworm-updates
Components: main

Types: deb deb-src
URIs: http://mirror.test/debian-security
Suites: bookworm-security
Components: main

Types: deb
URIs: https://vendor.test/apt
Suites: nodistro
Components: main
X
check "deb822, several suites, a foreign entry" \
  "http://mirror.test/debian bookworm;http://mirror.test/debian bookworm-updates;http://mirror.test/debian-security bookworm-security" \
  http://mirror.test/debian

etc sources.list <<'X'
# deb http://commented.test/debian bookworm main
deb [arch=amd64 signed-by=/k.gpg] http://local.test:3142/debian bookworm main contrib
deb-src http://local.test:3142/debian bookworm main
deb http://local.test:3142/debian trixie main
X
check "one-line sources.list with options, source and other releases skipped" \
  "http://local.test:3142/debian bookworm" http://local.test:3142/debian

etc sources.list.d/off.sources <<'X'
Types: deb
URIs: http://off.test/debian
Suites: bookworm
Enabled: no
X
check "a disabled entry" "" ""

mkdir -p "$work/etc"
HOTFIX_LANE_MIRROR=http://given.test/debian check "HOTFIX_LANE_MIRROR overrides" \
  "http://given.test/debian bookworm" http://given.test/debian

echo "$((4 - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
