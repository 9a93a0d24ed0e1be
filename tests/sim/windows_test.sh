#!/usr/bin/env bash
# hotfix-sim.exe, the simulator's Windows build, under 64-bit Wine: the same
# command-line checks as the native build, the same report for every bundled
# scenario (apart from line endings), and Hotfix.exe's whole exit status.
#   tests/sim/windows_test.sh HOTFIX_SIM_EXE NATIVE_HOTFIX_SIM
set -uo pipefail
exe=$1 native=$2
here=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

# A prefix of its own; Wine reads paths like /tmp/x through its Z: drive.
export WINEPREFIX=$here/build/wine-sim WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$WINEPREFIX"
wine=/usr/lib/wine/wine64
printf '#!/usr/bin/env bash\nexec %q %q "$@"\n' "$wine" "$exe" > "$work/hotfix-sim"
chmod +x "$work/hotfix-sim"
"$wine" wineboot -i >/dev/null 2>&1 || true
# One wineserver for the whole test, kept between the programs. Otherwise
# each program starts or finds one that ends 3 s after its last client, and
# a program that connects while it ends dies with status 1 before it prints
# anything (seen once under load, on a scenario in the middle of the list).
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
"$wineserver" -p
trap '"$wineserver" -k 2>/dev/null; rm -rf "$work"' EXIT

echo "--- the command-line checks, against hotfix-sim.exe"
"$here/tests/sim/cli_test.sh" "$work/hotfix-sim" || fail "the command-line checks"

echo "--- every bundled scenario, native and Windows"
for scenario in "$here"/scenarios/*/; do
  name=$(basename "$scenario")
  "$native" "$scenario" > "$work/native.txt" 2>&1
  native_status=$?
  "$work/hotfix-sim" "$scenario" 2>&1 | tr -d '\r' > "$work/windows.txt"
  windows_status=${PIPESTATUS[0]}
  if ! cmp -s "$work/native.txt" "$work/windows.txt"; then
    fail "$name: the reports differ"
    diff "$work/native.txt" "$work/windows.txt" | head -10
  fi
  [ "$native_status" = "$windows_status" ] || fail "$name: status $windows_status, natively $native_status"
done

echo "--- the whole exit status, as Windows sees it"
status=$("$wine" cmd /c "$(printf '%s' "$exe" | sed 's|/|\\|g; s|^|Z:|') $(printf '%s' "$here/scenarios/applies" | sed 's|/|\\|g; s|^|Z:|') >NUL 2>NUL & echo %ERRORLEVEL%" | tr -d '\r')
[ "$status" = 3010 ] || fail "cmd saw exit status '$status', not 3010"

[ "$failures" -eq 0 ] && echo "ok: hotfix-sim.exe behaves as hotfix-sim"
exit $((failures != 0))
