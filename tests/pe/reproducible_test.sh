#!/usr/bin/env bash
# The same bytes from every build: builds Hotfix.exe again from a copy of the
# sources in another folder, into another build folder, and compares it with
# the build under test byte for byte.
#   tests/pe/reproducible_test.sh SOURCE_DIR BUILT_EXE TOOLCHAIN_NAME [KEEP_AS]
# TOOLCHAIN_NAME is mingw-i686 or mingw-x86_64 (cmake/<name>.cmake); KEEP_AS,
# when given, receives a copy of the second build.
set -uo pipefail
source_dir=$1
built=$2
toolchain=$3
keep=${4:-}
work=$(mktemp -d /tmp/hotfix-reproduce.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/other source"
# What the Windows build reads (its test programs too), nothing built.
cp -r "$source_dir/CMakeLists.txt" "$source_dir/cmake" "$source_dir/src" "$source_dir/tests" \
  "$source_dir/bench" "$source_dir/scripts" "$work/other source/"
if ! cmake -S "$work/other source" -B "$work/other build" -DCMAKE_BUILD_TYPE=MinSizeRel \
     -DCMAKE_TOOLCHAIN_FILE="$work/other source/cmake/$toolchain.cmake" > "$work/configure.log" 2>&1 ||
   ! cmake --build "$work/other build" --target Hotfix -j "$(nproc)" > "$work/build.log" 2>&1; then
  echo "FAILED: the second build did not build"
  tail -n 30 "$work/configure.log" "$work/build.log"
  exit 1
fi
again="$work/other build/Hotfix.exe"
[ -n "$keep" ] && cp "$again" "$keep"
if cmp -s "$built" "$again"; then
  echo "ok: $built and a build from $work/other source are the same $(stat -c %s "$built") bytes"
  sha256sum "$built"
  exit 0
fi
echo "FAILED: $built differs from a build in another folder ($(cmp -l "$built" "$again" | wc -l) bytes):"
cmp -l "$built" "$again" | head -20
exit 1
