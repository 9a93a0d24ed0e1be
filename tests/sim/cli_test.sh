#!/usr/bin/env bash
# hotfix-sim as support staff call it: a customer's export with a line regedit
# skips, answers typed in advance, a deployment command line.
#   tests/sim/cli_test.sh HOTFIX_SIM
set -uo pipefail
sim=$1
here=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() {  # what, then a command that must succeed
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}

# One bad line (a dword of ten digits) in a key the hotfix does not read,
# before the firewall's keys, as regedit exports it (UTF-16LE).
printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
  '[HKEY_LOCAL_MACHINE\SOFTWARE\Other]' '"Installed"=dword:2024011500' '' \
  '[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\{D13A6F58-02C7-4E9B-8B21-7F4C05E9A6D3}]' \
  '"DisplayName"="Orvane Firewall v3.03"' '' \
  '[HKEY_LOCAL_MACHINE\SOFTWARE\Orvane\Orvane firewall]' \
  '"Installpath"="C:\\Program Files\\Orvane\\Firewall\\"' |
  iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } > "$work/customer.reg"
trk='C:\Program Files\Orvane\Firewall\trk.exe'

"$sim" --reg "$work/customer.reg" --windows winxp --answer no \
  --file "$trk=$here/tests/fixtures/trk_3_3_1000_0_x86.exe" > "$work/out" 2> "$work/err"
check "the fix applies despite the bad line (3010 -> 194)" test $? = 194
check "the bad line is warned about with file and line" \
  grep -qF "warning: $work/customer.reg:4: line skipped: dword: takes at most 8 hex digits" "$work/err"
check "a line outside the keys the hotfix reads casts no doubt" \
  bash -c "! grep -q 'may not be the customer' '$work/out'"

"$sim" --reg "$work/customer.reg" --windows win2k --answer no > "$work/out" 2> /dev/null
check "an answer the run did not need: 1642 (-> 106), not an error" test $? = 106
check "the unused answer is a note" grep -q '^Note: 1 answer(s) given were not used' "$work/out"
check "without --file the trk.exe read is named as missing" grep -qF -- "--file '$trk=./trk.exe'" "$work/out"

"$sim" --check "$here/scenarios/applies" --args /quiet > /dev/null 2> "$work/err"
check "--check keeps a scenario to its script" test $? = 2

"$sim" "$here/scenarios/applies" --args '/quiet /norestart /log:C:\h.log' --json > "$work/out"
check "--args runs the deployment command line (3010 -> 194)" test $? = 194
check "the JSON report holds the log" grep -q '"path": "C:\\\\h.log"' "$work/out"

"$sim" --another-copy other-account --args /quiet > "$work/out"
check "another account's copy: 1618 (-> 82)" test $? = 82
check "... said as such" grep -q 'started by another account' "$work/out"

"$sim" "$here/scenarios/applies" --no-desktop > "$work/out"
check "no visible desktop: no box, the question is No (3010 -> 194)" test $? = 194
check "... and the report says so" grep -q 'no visible desktop' "$work/out"

"$sim" --args '/log:C:\Temp\h.log' --path-kind 'C:\Temp\h.log=reparse-point' > "$work/out"
check "a reparse-point log is refused (1622 -> 86)" test $? = 86
check "... naming what it is" grep -q '^Why: The log path is a reparse point' "$work/out"

"$sim" "$here/scenarios/applies" --folder 'C:\hf test\app' --missing 40517.exe --program 'C:\hf.exe' --program 'C:\hf' > "$work/out"
check "a planted shorter path never stands in (1603 -> 67)" test $? = 67
check "... nothing started" bash -c "! grep -q '^Started' '$work/out'"

"$sim" "$here/scenarios/applies" --args /passive > "$work/out"
check "/passive: the countdown takes the scenario's No as Annulla (3010 -> 194)" test $? = 194
check "... after the progress window showed each installer" \
  grep -q '^Progress window "Hotfix": .* / Passo 2 di 2: 40517-2.exe' "$work/out"
check "... and the countdown is in the report" grep -q '^    answered Annulla' "$work/out"

"$sim" "$here/scenarios/applies" --args '/check /quiet /log:C:\h.log' > "$work/out"
check "/check where the fix applies: 0, nothing started" test $? = 0
check "... the log's last line gives the verdict" \
  grep -q 'Result: verdict=applies; reason=checks-passed; windows=Windows XP;' "$work/out"
check "... and nothing was started" bash -c "! grep -q '^Started' '$work/out'"

"$sim" "$here/scenarios/payload-replaced" > "$work/out"
check "a pinned build with 40517-2.exe replaced: 1620 (-> 84)" test $? = 84
check "... nothing started" bash -c "! grep -q '^Started' '$work/out'"
check "... why names the file with the SHA-256 found and pinned" \
  grep -q '^Why: .*40517-2.exe holds 11 bytes, SHA-256 d24ae71.*, but this build expects 11 bytes, SHA-256 af8455a' "$work/out"
cp -r "$here/scenarios/payload-replaced" "$work/bad-payload"
sed -i "s/pinned_sha256 = '0a2e6bf7/pinned_sha256 = '0a2e6bf/" "$work/bad-payload/scenario.toml"
"$sim" "$work/bad-payload" > /dev/null 2> "$work/err"
check "a pinned SHA-256 one digit short: status 2, file and line named" \
  bash -c "test $? = 2 && grep -qF 'scenario.toml:5: '\''40517.exe'\'': pinned_sha256: 64 hexadecimal digits, not 63 characters' '$work/err'"

# The fleet report over a folder of logs: two machines' logs and a file that
# is none.
mkdir -p "$work/logs"
stamp='2026-12-07 09:00:00.001  '
{ printf '\xef\xbb\xbf'; printf '%s\r\n' "${stamp}Hotfix.exe 1.00 (CR40517) started on PC1 by Admin, mode check" \
  "${stamp}Result: verdict=applies; reason=checks-passed; windows=Windows XP; trk_version=3.3.1000.0; exit_status=0"; } \
  > "$work/logs/PC1.log"
{ printf '\xef\xbb\xbf'; printf '%s\r\n' "${stamp}Hotfix.exe 1.00 (CR40517) started on PC2 by Admin, mode install" \
  "${stamp}Windows: \"Windows 2000\" (version 5.0, build 2195)"; } > "$work/logs/PC2.log"
printf 'MZ\0\0' > "$work/logs/setup.exe"
"$sim" fleet "$work/logs" --csv "$work/fleet.csv" --plain-csv --html "$work/fleet.html" > "$work/out" 2> "$work/err"
check "fleet: status 0 whatever the files" test $? = 0
check "... counts by verdict" grep -q '^  interrupted: 1' "$work/out"
check "... a file that is no log is named" grep -q 'setup.exe: unreadable' "$work/err"
check "... one CSV row per file under the header" \
  bash -c "[ \"\$(head -1 '$work/fleet.csv' | tr -d '\r')\" = 'file,computer,time,mode,verdict,reason,windows,trk_version,exit_status' ] && [ \$(wc -l < '$work/fleet.csv') = 4 ]"
check "... and a page with the table" grep -q '<td>PC1</td>' "$work/fleet.html"
"$sim" fleet "$work/logs" --csv "$work/excel.csv" > /dev/null 2>&1
check "... for Excel: UTF-16 LE with its mark, tab-separated" \
  bash -c "[ \"\$(head -c 2 '$work/excel.csv' | od -An -tx1 | tr -d ' ')\" = fffe ] && iconv -f UTF-16 -t UTF-8 '$work/excel.csv' | head -1 | grep -q \$'^file\tcomputer\ttime'"

exit $((failures > 0))
