#!/usr/bin/env bash
# The i686 runtime for the i586: the pieces of the prebuilt runtime that the
# program links (the libgcc unwinder, libsupc++, libmingw32's pesect and
# pseudo-reloc, crt2u.o) rebuilt with -march=i586 -Os from Debian's own
# sources of exactly the installed cross compiler and mingw-w64, and put in
# copies of their archives: an overlay folder that the i686 Hotfix.exe links
# ahead of the system's (-B/-L). Debian's are built for the i686, whose CMOV
# and FCOMI a Pentium, K6, VIA C3, Vortex86 or Geode lacks.
#
#   scripts/runtime/build.sh     builds it unless current; prints its folder
#
# Each piece is also built at Debian's own level and its code compared with
# the installed one, so that sources of another version stop the build.
# Kept in $HOTFIX_RUNTIME_CACHE (default /var/cache/hotfix, or ~/.cache/hotfix
# where that cannot be written) under a name hashed from this script and the
# package versions; progress goes to standard error.
set -euo pipefail
# Run from CMake's configure (and make): none of the caller's compilers,
# flags or job server reach gcc's configure, which builds host tools.
unset CC CXX CFLAGS CXXFLAGS CPPFLAGS LDFLAGS MAKEFLAGS MFLAGS MAKELEVEL
export CC=gcc CXX=g++
here=$(cd "$(dirname "$0")" && pwd)
target=i686-w64-mingw32
log() { printf 'runtime: %s\n' "$*" >&2; }
fail() { log "FAILED: $*"; exit 1; }

cache=${HOTFIX_RUNTIME_CACHE:-/var/cache/hotfix}
if ! mkdir -p "$cache" 2>/dev/null || [ ! -w "$cache" ]; then
  cache=${XDG_CACHE_HOME:-$HOME/.cache}/hotfix
  mkdir -p "$cache"
fi

version_of() { dpkg-query -W -f='${Version}' "$1" 2>/dev/null || fail "package $1 is not installed"; }
gcc_package=gcc-mingw-w64-i686-win32
gcc_version=$(version_of "$gcc_package")             # 12.2.0-14+deb12u1+25.2+b1
gcc_source_version=$(sed -E 's/\+[0-9.]+(\+b[0-9]+)?$//' <<<"$gcc_version")  # 12.2.0-14+deb12u1
gcc_major=${gcc_version%%.*}
mingw_version=$(version_of mingw-w64-i686-dev)      # 10.0.0-3
hash=$(cat "$here/build.sh" "$here/pieces" | cat - <(echo "$gcc_version $mingw_version") |
  sha256sum | cut -c1-16)
out=$cache/runtime-$hash
if [ -f "$out/ready" ]; then
  echo "$out"
  exit 0
fi

exec 9>"$cache/runtime.lock"
flock 9
if [ -f "$out/ready" ]; then echo "$out"; exit 0; fi
began=$SECONDS
work=$cache/runtime-build-$hash
rm -rf "$work" "$out"
mkdir -p "$work" "$out"
# Kept when a step fails, for its logs; removed at the end.
cd "$work"
log "building the i586 runtime from gcc-$gcc_major-source $gcc_source_version and mingw-w64 $mingw_version (a minute or two, once); in $out"

# Debian's sources: gcc's as a binary package, mingw-w64's through a private
# apt configuration with the host's mirrors as deb-src.
log "fetching the sources"
apt-get download -q "gcc-$gcc_major-source=$gcc_source_version" >download.log 2>&1 ||
  fail "apt-get download gcc-$gcc_major-source=$gcc_source_version: $(tail -3 download.log)"
mkdir -p apt/lists/partial apt/archives/partial apt/parts
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
  [ -f "$f" ] && sed -n 's/^deb \(.*debian.*\)$/deb-src \1/p' "$f" >>apt/parts/src.list
done
for f in /etc/apt/sources.list.d/*.sources; do
  [ -f "$f" ] && sed 's/^Types: deb$/Types: deb-src/' "$f" >"apt/parts/$(basename "$f")"
done
apt_private=(-o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$work/apt/parts"
  -o Dir::State::Lists="$work/apt/lists" -o Dir::Cache="$work/apt" -o Debug::NoLocking=1)
{ apt-get "${apt_private[@]}" update -q && apt-get "${apt_private[@]}" source --download-only -q \
    "mingw-w64=$mingw_version"; } >source.log 2>&1 ||
  fail "apt-get source mingw-w64=$mingw_version: $(tail -3 source.log)"

log "unpacking"
dpkg-deb -x gcc-"$gcc_major"-source_*.deb deb
tar -xJf deb/usr/src/gcc-"$gcc_major"/gcc-*.tar.xz --exclude='*/gcc/testsuite' --wildcards \
  '*/gcc/*' '*/libgcc/*' '*/include/*' '*/libiberty/*' '*/libcpp/*' '*/libdecnumber/*' \
  '*/libstdc++-v3/libsupc++/*' '*/config/*' '*/config.*' '*/install-sh' '*/move-if-change' \
  '*/mkinstalldirs' '*/missing' '*/depcomp' '*/config-ml.in'
gcc_src=$(echo "$work"/gcc-*/ | cut -d' ' -f1)
gcc_src=${gcc_src%/}
mkdir mingw
tar -xjf mingw-w64_*.orig.tar.bz2 -C mingw
tar -xJf mingw-w64_*.debian.tar.xz -C mingw
mingw_src=$(echo "$work"/mingw/mingw-w64-v*/ | cut -d' ' -f1)
while read -r p; do
  case $p in ''|'#'*) continue ;; esac
  patch -d "$mingw_src" -p1 -s -f <"$work/mingw/debian/patches/$p" >>patch.log 2>&1 ||
    fail "Debian's patch $p does not apply: $(tail -3 patch.log)"
done <"$work/mingw/debian/patches/series"
crt_src=$mingw_src/mingw-w64-crt

# libgcc builds inside a configured gcc tree: its target headers (tm.h and
# what it includes) come from gcc's configure and generators; the compiler
# itself is the installed one.
log "configuring gcc's target headers and libgcc"
mkdir -p tree/gcc tree/build-x86_64-linux-gnu/libiberty "tree/$target/libgcc"
(cd tree/build-x86_64-linux-gnu/libiberty && "$gcc_src/libiberty/configure" >configure.log 2>&1 &&
  make -j "$(nproc)" >make.log 2>&1) || fail "libiberty for the generators, see $work/tree/build-x86_64-linux-gnu/libiberty"
(cd tree/gcc && "$gcc_src/gcc/configure" --build=x86_64-linux-gnu --host=x86_64-linux-gnu \
  --target=$target --prefix=/usr --disable-multilib --enable-threads=win32 \
  --disable-sjlj-exceptions --with-dwarf2 --enable-languages=c,c++ --disable-plugin \
  --enable-version-specific-runtime-libs >configure.log 2>&1 &&
  make -j "$(nproc)" tm.h tconfig.h options.h insn-constants.h insn-modes.h >make.log 2>&1) ||
  fail "gcc's target headers: $(tail -3 "$work/tree/gcc/make.log" 2>/dev/null)"
# What gcc's own build would write here once its compiler is built.
cat >tree/gcc/libgcc.mvars <<'EOF'
GCC_CFLAGS = -DIN_GCC -DCROSS_DIRECTORY_STRUCTURE -W -Wall -Wno-narrowing -Wwrite-strings -Wcast-qual -Wstrict-prototypes -Wmissing-prototypes -Wold-style-definition -isystem ./include
INHIBIT_LIBC_CFLAGS =
TARGET_SYSTEM_ROOT =
NO_PIE_CFLAGS =
EOF
(cd "tree/$target/libgcc" && CC=$target-gcc-win32 AR=$target-ar RANLIB=$target-ranlib \
  "$gcc_src/libgcc/configure" --build=x86_64-linux-gnu --host=$target --target=$target \
  --prefix=/usr --enable-shared --enable-version-specific-runtime-libs >configure.log 2>&1) ||
  fail "libgcc's configure, see $work/tree/$target/libgcc/config.log"

# Two builds of every piece: Debian's own level (to compare) and the i586's.
i586=(-march=i586 -mtune=generic -Wa,-march=i586 -Os -g0)
mkdir -p debian-level i586
build_libgcc() {  # LEVEL-FLAGS... : into the folder named by $into
  local o
  (cd "tree/$target/libgcc" && rm -f ./*.o &&
    for o in "${libgcc_pieces[@]}"; do
      make "$o.o" LIBGCC2_DEBUG_CFLAGS="$*" >>make.log 2>&1 || exit 1
      cp "$o.o" "$work/$into/"
    done) || fail "libgcc piece, see $work/tree/$target/libgcc/make.log"
}
build_supcxx() {
  local o
  for o in "${supcxx_pieces[@]}"; do
    $target-g++-win32 -std=gnu++17 -O2 -g "$@" -fno-implicit-templates -ffunction-sections \
      -fdata-sections -frandom-seed="$o.lo" -I"$gcc_src/libgcc" \
      -c "$gcc_src/libstdc++-v3/libsupc++/$o.cc" -o "$into/$o.o" 2>>supcxx.log ||
      fail "libsupc++ $o, see $work/supcxx.log"
  done
}
build_crt() {
  local o flags=(-pipe -O2 -g -m32 -D_CRTBLD -D_WIN32_WINNT=0x0f00 -D__MSVCRT_VERSION__=0x700
    -D__USE_MINGW_ANSI_STDIO=0 -I"$crt_src/include" -D_SYSCRT=1 -DCRTDLL=1)
  for o in "${mingw32_pieces[@]}"; do
    $target-gcc-win32 "${flags[@]}" "$@" -c "$crt_src/crt/$o.c" -o "$into/lib32_libmingw32_a-$o.o" ||
      fail "mingw-w64 crt $o"
  done
  $target-gcc-win32 "${flags[@]}" "$@" -c "$crt_src/crt/ucrtexe.c" -o "$into/crt2u.o" || fail "crt2u.o"
}
# shellcheck source=pieces
source "$here/pieces"
log "building ${#libgcc_pieces[@]} libgcc, ${#supcxx_pieces[@]} libsupc++ and $((${#mingw32_pieces[@]} + 1)) mingw-w64 pieces, twice"
into=debian-level; build_libgcc -g; build_supcxx; build_crt
into=i586; build_libgcc "${i586[@]}"; build_supcxx "${i586[@]}"; build_crt "${i586[@]}"

# The code of each piece at Debian's level against the installed one: debug
# data, local names and the compiler's ident (.rdata$zzz) aside.
system_libgcc=$($target-gcc-win32 -print-libgcc-file-name)
system_libgcc_dir=$(dirname "$system_libgcc")
system_crt=/usr/$target/lib
mkdir installed
(cd installed && ar x "$system_libgcc_dir/libgcc_eh.a" && ar x "$system_libgcc_dir/libgcc.a" &&
  ar x "$system_libgcc_dir/libstdc++.a" && ar x "$system_crt/libmingw32.a" &&
  cp "$system_crt/crt2u.o" .)
code_of() {
  $target-objcopy --strip-debug --discard-all "$1" "$1.cmp"
  $target-objdump -d -r "$1.cmp" | tail -n +4
  $target-objdump -h "$1.cmp" | awk '$1 ~ /^[0-9]+$/ && $2 != ".rdata$zzz" {print $2, $3}'
}
for piece in debian-level/*.o; do
  name=$(basename "$piece")
  [ -f "installed/$name" ] || fail "$name is not in the installed runtime"
  cmp -s <(code_of "$piece") <(code_of "installed/$name") ||
    fail "$name built from gcc-$gcc_major-source $gcc_source_version / mingw-w64 $mingw_version differs from the installed one: sources of another version?"
done
log "Debian's level: the code of all $(ls debian-level/*.o | wc -l) pieces is the installed runtime's"

# The overlay: the system's archives with the i586 pieces in place of theirs.
cp "$system_libgcc_dir/libgcc_eh.a" "$system_libgcc_dir/libgcc.a" "$system_libgcc_dir/libstdc++.a" \
  "$system_crt/libmingw32.a" "$out/"
mingw32_members=()
for o in "${mingw32_pieces[@]}"; do mingw32_members+=("lib32_libmingw32_a-$o.o"); done
(cd i586 &&
  $target-ar r "$out/libgcc_eh.a" "${libgcc_eh_pieces[@]/%/.o}" &&
  $target-ar r "$out/libgcc.a" "${libgcc_only_pieces[@]/%/.o}" &&
  $target-ar r "$out/libstdc++.a" "${supcxx_pieces[@]/%/.o}" &&
  $target-ar r "$out/libmingw32.a" "${mingw32_members[@]}" &&
  cp crt2u.o "$out/")
printf 'gcc %s\nmingw-w64 %s\n' "$gcc_version" "$mingw_version" >"$out/versions"
touch "$out/ready"
for old in "$cache"/runtime-*; do
  [ "$old" != "$out" ] && [ "$old" != "$work" ] && [ -d "$old" ] && rm -rf "$old"
done
rm -rf "$work"
log "done in $((SECONDS - began)) s"
echo "$out"
