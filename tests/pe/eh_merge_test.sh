#!/usr/bin/env bash
# The CIE merge of the i686 build: the shipped file has one copy of each CIE
# left, and the script refuses unwind tables it cannot read back the same,
# leaving the file as it was.
#   eh_merge_test.sh HOTFIX_EXE MERGE_SCRIPT
set -uo pipefail
exe=$1 merge=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

report=$(python3 "$merge" "$exe" --check) || fail "the shipped file's tables cannot be read: $report"
echo "$report"
[[ $report =~ ([0-9]+)\ CIEs\ merged\ into\ ([0-9]+) ]] || fail "no count in: $report"
[ "${BASH_REMATCH[1]}" = "${BASH_REMATCH[2]}" ] || fail "the build left copies of CIEs: $report"
[[ $report =~ \ 0\ fewer ]] || fail "the file is not merged: $report"

# An FDE that names no CIE before it: refused, the file unchanged, and as a
# build step the file removed so that the next build links it again.
cp "$exe" "$work/broken.exe"
python3 - "$work/broken.exe" <<'PY'
import struct, sys
path = sys.argv[1]
pe = bytearray(open(path, "rb").read())
peo = struct.unpack_from("<I", pe, 0x3C)[0]
table = peo + 24 + struct.unpack_from("<H", pe, peo + 20)[0]
for k in range(struct.unpack_from("<H", pe, peo + 6)[0]):
    h = table + 40 * k
    if pe[h:h + 8] == b".eh_fram":
        raw = struct.unpack_from("<I", pe, h + 20)[0]
        first = struct.unpack_from("<I", pe, raw)[0]          # crt2u.o's CIE
        struct.pack_into("<I", pe, raw + 4 + first + 4, 0x7FFFFFF0)  # its first FDE's CIE pointer
open(path, "wb").write(pe)
PY
cp "$work/broken.exe" "$work/before.exe"
if python3 "$merge" "$work/broken.exe" 2>"$work/err"; then fail "a broken table was merged"; fi
cmp -s "$work/broken.exe" "$work/before.exe" || fail "a refused file was changed"
grep -q 'names no CIE' "$work/err" || fail "the refusal does not say why: $(cat "$work/err")"
python3 "$merge" "$work/broken.exe" --build 2>/dev/null
[ ! -e "$work/broken.exe" ] || fail "--build left a file it could not merge"

[ "$failures" -eq 0 ] && echo "ok"
exit $((failures != 0))
