#!/usr/bin/env bash
# The Wine benchmarks: start-up to the restart question, the cost of the
# wait, a CPU-bound installer under Hotfix.exe against the floor program.
# Uses its own prefix, build/wine-bench/<arch> (or $HOTFIX_WINE_ROOT/wine-bench/<arch>),
# never the tests'.
#
#   bench/wine_bench.sh OUT_DIR RUNS
# Writes OUT_DIR/{arch,wine-version,startup,peer,wait3s,wait0s,busy,switches,switches1}.tsv
# (benchrun lines; peer only where 32-bit programs run) for bench/run.sh to sum up.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$1
runs=$2
mkdir -p "$out"

# BENCH_ARCH picks the build: x86_64 (64-bit Wine) or i686, the build that
# ships (32-bit Wine: here where the kernel runs it, else in the lane's guest,
# through scripts/lane/i686.sh). BENCH_ONLY=peer measures only the start-up of
# the NSIS peer, Hotfix.exe and the floor, interleaved in one session.
# BENCH_ONLY=switches measures only the deployment switches.
arch=${BENCH_ARCH:-x86_64}
if [ "$arch" = i686 ]; then
  loader=/usr/lib/wine/wine winearch=win32 version=winxp trk=trk_3_3_1000_0_x86.exe
else
  loader=/usr/lib/wine/wine64 winearch=win64 version=winxp64 trk=trk_3_3_1000_0_x64.exe
fi
echo "$arch" > "$out/arch"
if [ "${HOTFIX_LANE_GUEST:-}" = 1 ]; then
  echo "in the 32-bit lane's guest (qemu, software emulation, $(nproc) processors)" > "$out/where"
else
  echo natively > "$out/where"
fi
"$loader" --version > "$out/wine-version"
builds=$root/build/mingw-$arch

export WINEPREFIX=${HOTFIX_WINE_ROOT:-$root/build}/wine-bench/$arch WINEARCH=$winearch WINEDEBUG=-all
unset DISPLAY WAYLAND_DISPLAY
drive_c=$WINEPREFIX/drive_c
marker="hotfix-bench-prefix 1 $arch $version"

if [ "$(cat "$WINEPREFIX/.hotfix-bench" 2>/dev/null)" != "$marker" ]; then
  echo "bench: making the Wine prefix $WINEPREFIX" >&2
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  if [ -f "${HOTFIX_WINE_TEMPLATE:-/nonexistent}/$arch/system.reg" ]; then
    rmdir "$WINEPREFIX"
    cp -a "$HOTFIX_WINE_TEMPLATE/$arch" "$WINEPREFIX"
  else
    WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" "$loader" wineboot -i \
      > "$WINEPREFIX.setup.log" 2>&1
  fi
  printf '%s\r\n' 'REGEDIT4' '' \
    '[HKEY_CURRENT_USER\Software\Wine]' "\"Version\"=\"$version\"" '' \
    '[HKEY_CURRENT_USER\Software\Wine\Drivers]' '"Graphics"="null"' '' \
    '[HKEY_CURRENT_USER\Software\Wine\WineDbg]' '"ShowCrashDialog"=dword:00000000' \
    > "$drive_c/settings.reg"
  "$loader" reg import 'C:\settings.reg' >/dev/null 2>&1
  wineserver -w
  echo "$marker" > "$WINEPREFIX/.hotfix-bench"
fi
# One wineserver for all runs; it ends by itself a minute after the last.
wineserver -p60 2>/dev/null || true  # one may run already (the peer's, in the same prefix)

# The machine the fix applies to.
printf '%s\r\n' 'REGEDIT4' '' \
  '[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\{D13A6F58-02C7-4E9B-8B21-7F4C05E9A6D3}]' \
  '"DisplayName"="Orvane Firewall v3.03"' '' \
  '[HKEY_LOCAL_MACHINE\SOFTWARE\Orvane\Orvane firewall]' '"Installpath"="C:\\fw\\"' \
  > "$drive_c/machine.reg"
"$loader" reg import 'C:\machine.reg' >/dev/null 2>&1
mkdir -p "$drive_c/fw"
cp "$root/tests/fixtures/$trk" "$drive_c/fw/trk.exe"

# C:\bench\quick: installers that end at once; C:\bench\busy: the first is
# CPU-bound. Hotfix.exe and floor.exe side by side, so both start the same files.
rm -rf "$drive_c/bench"
for set in quick busy; do
  mkdir -p "$drive_c/bench/$set"
  cp "$builds/Hotfix.exe" "$builds/floor.exe" "$builds/floor_form.exe" \
    "$builds/floor_form_poll.exe" "$drive_c/bench/$set/"
  cp "$builds/stub.exe" "$drive_c/bench/$set/40517-2.exe"
done
cp "$builds/stub.exe" "$drive_c/bench/quick/40517.exe"
cp "$builds/busy.exe" "$drive_c/bench/busy/40517.exe"
cp "$builds/benchrun.exe" "$drive_c/bench/"
peer=$root/build/bench/peer.exe
[ -f "$peer" ] && cp "$peer" "$drive_c/bench/quick/"

benchrun() { "$loader" 'C:\bench\benchrun.exe' "$@"; }
q='C:\bench\quick' b='C:\bench\busy'

if [ "${BENCH_ONLY:-}" = peer ]; then
  if [ "$arch" != i686 ] || [ ! -f "$peer" ]; then
    echo "bench: the NSIS peer is 32-bit and needs $peer: BENCH_ARCH=i686 only" >&2
    exit 1
  fi
  echo "bench: start-up of the NSIS peer, Hotfix.exe and the floor ($arch), $runs runs each" >&2
  benchrun --runs "$runs" --warmup 2 "peer=$q\\peer.exe" "hotfix=$q\\Hotfix.exe" \
    "floor=$q\\floor.exe" > "$out/peer.tsv"
  exit 0
fi

# The deployment switches against a run without them, on every processor
# and then with Wine and every program pinned to one, the usual XP desk.
# /quiet and /passive end in the restart countdown, answered Annulla, where
# the plain run asks its question: the same point of the run.
switch_runs() {
  HOTFIX_STUB_SLEEP_MS=40517.exe=3000 benchrun --runs "$runs" --warmup 0 --cpu --poll-ms 20 \
    "hotfix=$q\\Hotfix.exe" "quiet=$q\\Hotfix.exe|/quiet /warnrestart" \
    "passive=$q\\Hotfix.exe|/passive" "floor=$q\\floor.exe" | sed 's/^run\t/wait\t/'
  BENCH_BUSY_LOG='C:\bench\busy.log' benchrun --runs "$runs" --warmup 0 --poll-ms 20 \
    "hotfix=$b\\Hotfix.exe" "quiet=$b\\Hotfix.exe|/quiet /warnrestart" \
    "passive=$b\\Hotfix.exe|/passive" "floor=$b\\floor.exe" | sed 's/^run\t/busy\t/'
}
switches_only=$([ "${BENCH_ONLY:-}" = switches ] && echo 1 || true)
echo "bench: the switches on $(nproc) processors, $runs runs each" >&2
switch_runs > "$out/switches.tsv"
echo "bench: the switches on one processor (Wine pinned to it), $runs runs each" >&2
(
  taskset -cp 0 "$BASHPID" >/dev/null  # inherited by the wineserver and every program
  wineserver -k 2>/dev/null || true
  wineserver -w
  wineserver -p60
  switch_runs
) > "$out/switches1.tsv"
# Back to an unpinned server for what follows.
wineserver -k 2>/dev/null || true
wineserver -w
[ -n "$switches_only" ] && exit 0
wineserver -p60

echo "bench: start-up, $runs runs each" >&2
# The two floor variants split Hotfix's gap: its hidden window, its polling wait.
benchrun --runs "$runs" --warmup 2 "hotfix=$q\\Hotfix.exe" "floor=$q\\floor.exe" \
  "form=$q\\floor_form.exe" "formpoll=$q\\floor_form_poll.exe" > "$out/startup.tsv"
echo "bench: CPU while the first installer sleeps 3 s, $runs runs each" >&2
HOTFIX_STUB_SLEEP_MS=40517.exe=3000 benchrun --runs "$runs" --warmup 0 --cpu --poll-ms 20 \
  "hotfix=$q\\Hotfix.exe" "floor=$q\\floor.exe" > "$out/wait3s.tsv"
echo "bench: CPU with installers that end at once, $runs runs each" >&2
benchrun --runs "$runs" --warmup 0 --cpu --poll-ms 20 \
  "hotfix=$q\\Hotfix.exe" "floor=$q\\floor.exe" > "$out/wait0s.tsv"
echo "bench: CPU-bound installer, $runs runs each" >&2
BENCH_BUSY_LOG='C:\bench\busy.log' benchrun --runs "$runs" --warmup 0 --poll-ms 20 \
  "hotfix=$b\\Hotfix.exe" "floor=$b\\floor.exe" > "$out/busy.tsv"
