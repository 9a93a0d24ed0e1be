#!/usr/bin/env bash
# The i686 program allocates thrown exceptions itself
# (src/platform/win32/exception_memory.cpp), before a header whose size is
# libsupc++'s own. This reads that size from the libstdc++.a the link used
# (its __cxa_allocate_exception adds it to the object's size), and fails
# where the program's constant differs or the library's allocator is linked.
#   exception_header_test.sh SOURCE_DIR HOTFIX_MAP
set -uo pipefail
src=$1 map=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

archive=$(awk '$1 == "LOAD" && $2 ~ /libstdc\+\+\.a$/ {print $2; exit}' "$map")
[ -f "$archive" ] || { echo "FAIL: no libstdc++.a among the link's inputs in $map"; exit 1; }
(cd "$work" && ar x "$archive" eh_alloc.o) || { echo "FAIL: $archive has no eh_alloc.o"; exit 1; }
library=$(i686-w64-mingw32-objdump -d "$work/eh_alloc.o" |
  awk '/<___cxa_allocate_exception>:/ {f = 1; next} f && /lea +0x[0-9a-f]+\(%eax\)/ {
         sub(/.*lea +/, ""); sub(/\(.*/, ""); print; exit }')
program=$(sed -n 's/.*kExceptionHeader = \(0x[0-9a-fA-F]*\);.*/\1/p' "$src/src/platform/win32/exception_memory.cpp")
echo "libsupc++'s header: ${library:-not found}; the program's: ${program:-not found}"
failures=0
if [ -z "$library" ] || [ $((library)) -ne $((program)) ]; then
  echo "FAIL: the program's exception header is not libsupc++'s"
  failures=1
fi
if grep -q 'eh_alloc\.o' "$map"; then
  echo "FAIL: libsupc++'s own allocator is linked as well"
  failures=1
fi
[ "$failures" -eq 0 ] && echo "ok"
exit "$failures"
