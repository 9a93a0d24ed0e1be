#!/usr/bin/env bash
# Would this build load on its target Windows? Fails on an imported DLL other
# than the four system ones, on a function the target's DLL does not export
# (or is known to lack, absent.txt), on a C++ runtime DLL, on a PE
# subsystem version above the target's, and on writable .rdata.
#   check_imports.sh EXE EXPORTS_DIR MAX_SUBSYSTEM (e.g. 5.1)
set -euo pipefail
exe=$1 exports=$2 max_subsystem=$3

[ -f "$exe" ] || { echo "FAIL: $exe not built"; exit 1; }
[ -d "$exports" ] || { echo "FAIL: export lists not found at $exports"; exit 1; }

headers=$(objdump -p "$exe")
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

major=$(awk '/^MajorSubsystemVersion/{print $2}' <<<"$headers")
minor=$(awk '/^MinorSubsystemVersion/{print $2}' <<<"$headers")
want_major=${max_subsystem%.*} want_minor=${max_subsystem#*.}
if (( major > want_major || (major == want_major && minor > want_minor) )); then
  fail "subsystem version $major.$minor is above $max_subsystem"
fi

imports=$(awk '
  /DLL Name:/ { dll = $3; next }
  /^$/ { dll = "" }
  dll != "" && NF == 3 && $1 ~ /^[0-9a-f]+$/ { print dll, $3 }
  dll != "" && NF == 2 && $1 ~ /^[0-9a-f]+$/ && $2 ~ /^<none>$|^[0-9]+$/ { print dll, "#ordinal" }
' <<<"$headers")
dlls=$(awk '/DLL Name:/{print $3}' <<<"$headers")

# The lists are an upper bound; absent.txt names entries the target lacks.
absent=$exports/absent.txt
count=0
for dll in $dlls; do
  upper=${dll^^}
  case $upper in
    KERNEL32.DLL|USER32.DLL|ADVAPI32.DLL) list=$exports/${upper%.DLL}.dll.txt ;;
    MSVCRT.DLL) list=$exports/msvcrt.dll.txt ;;
    *) fail "imports $dll (only KERNEL32, USER32, ADVAPI32 and msvcrt are allowed)"; continue ;;
  esac
  while read -r name fn; do
    [ "${name^^}" = "$upper" ] || continue
    count=$((count + 1))
    if [ "$fn" = "#ordinal" ]; then
      fail "$dll imported by ordinal: cannot be checked"
    elif ! grep -qxF "$fn" "$list"; then
      fail "$dll!$fn is not exported by the target Windows"
    elif [ -f "$absent" ] && grep -qxF "$fn" "$absent"; then
      fail "$dll!$fn is listed but known to be missing on the target Windows"
    fi
  done <<<"$imports"
done

# Read-only data stays read-only: the link refuses auto-imports, which would
# otherwise have ld merge .rdata into the writable .data.
rdata_flags=$(objdump -h "$exe" | awk '$2 == ".rdata" {getline; print; exit}')
[[ $rdata_flags == *READONLY* ]] || fail ".rdata is not read-only (${rdata_flags:-no .rdata section})"

if (( failures > 0 )); then
  echo "$exe: $failures problem(s)"
  exit 1
fi
echo "$exe: subsystem $major.$minor, $count imports from $(wc -w <<<"$dlls") DLLs, all on the target"
