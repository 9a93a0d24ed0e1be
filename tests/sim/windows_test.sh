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

echo "--- names outside the code page (1252 here): a customer's city in Greek and Polish letters"
# Wine hands the arguments over from the Unix locale's UTF-8.
greek=$work/Αθήνα polish=$work/Łódź
mkdir -p "$greek/logs" "$polish"
cp -r "$here/scenarios/applies" "$polish/applies"
cp "$here/scenarios/applies/machine.reg" "$greek/export.reg"
{ printf '\xef\xbb\xbf'; printf '%s\r\n' \
  "2026-12-02 09:00:00.001  Hotfix.exe 1.00 (CR40517) started on ΘΕΣΣΑΛΟΝΙΚΗ-01 by Admin, mode check" \
  "2026-12-02 09:00:01.001  Result: verdict=applies; reason=checks-passed; windows=Windows XP; trk_version=3.3.1000.0; exit_status=0"; } \
  > "$greek/logs/ΘΕΣΣΑΛΟΝΙΚΗ-01.log"
printf 'MZ' > "$greek/logs/Łódź-setup.exe"
u8() { LC_ALL=C.UTF-8 "$work/hotfix-sim" "$@"; }
u8 "$polish/applies" > "$work/u8.txt" 2>&1
[ $? = 194 ] || { fail "a scenario folder in Polish letters: $(head -2 "$work/u8.txt")"; }
u8 --reg "$greek/export.reg" --version-file 'C:\Program Files\Orvane\Firewall\trk.exe=3.3.1000.0' > "$work/u8.txt" 2>&1
[ $? = 194 ] || fail "an export in a folder in Greek letters: $(head -2 "$work/u8.txt")"
u8 fleet "$greek/logs" --csv "$polish/flota.csv" --html "$greek/στόλος.html" > "$work/u8.txt" 2> "$work/u8.err"
[ $? = 0 ] || fail "the fleet report of a log folder in Greek letters: $(cat "$work/u8.err")"
[ -s "$polish/flota.csv" ] && [ -s "$greek/στόλος.html" ] || fail "the CSV and the page are not where their names say"
iconv -f UTF-16 -t UTF-8 "$polish/flota.csv" 2>/dev/null | grep -q $'\tΘΕΣΣΑΛΟΝΙΚΗ-01\t' ||
  fail "the CSV lost the computer's name"
grep -q 'Łódź-setup.exe: unreadable' "$work/u8.err" || fail "the warning lost the file's name: $(cat "$work/u8.err")"

echo "--- the whole exit status, as Windows sees it"
status=$("$wine" cmd /c "$(printf '%s' "$exe" | sed 's|/|\\|g; s|^|Z:|') $(printf '%s' "$here/scenarios/applies" | sed 's|/|\\|g; s|^|Z:|') >NUL 2>NUL & echo %ERRORLEVEL%" | tr -d '\r')
[ "$status" = 3010 ] || fail "cmd saw exit status '$status', not 3010"

[ "$failures" -eq 0 ] && echo "ok: hotfix-sim.exe behaves as hotfix-sim"
exit $((failures != 0))
