#!/usr/bin/env bash
# Runs every benchmark and writes BENCHMARKS.md at the repository root.
# `make bench` builds what this needs first (the mingw presets and the
# optimised native build in build/bench).
#
#   bench/run.sh [RUNS=7]
# BENCH_REPORT_ONLY=1 writes BENCHMARKS.md again from the last measurements.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-7}
out=build/bench/results
mkdir -p "$out"
began=$(date +%s)

# ---- measuring -------------------------------------------------------------------

if [ "${BENCH_REPORT_ONLY:-0}" != 1 ]; then

echo "bench: NSIS peer" >&2
makensis -V1 -DOUTFILE="$PWD/build/bench/peer.exe" bench/peer.nsi

echo "bench: simulator, every bundled scenario, $runs repetitions" >&2
build/bench/hotfix_sim_bench scenarios --benchmark_repetitions="$runs" \
  --benchmark_min_time=0.2 --benchmark_out_format=csv --benchmark_out="$out/sim.csv" \
  --benchmark_format=console >/dev/null 2>"$out/sim.err"

echo "bench: 200 MiB regedit export, $runs runs of hotfix-sim" >&2
build/bench/make_export build/bench/big.reg 200 40517

: > "$out/bigreg.tsv"
for ((i = 0; i < runs; ++i)); do
  /usr/bin/time -f '%e %M' -o "$out/time.txt" \
    build/bench/hotfix-sim --reg build/bench/big.reg --windows winxp > "$out/bigreg.out" || true
  # Before the figures, time notes a non-zero exit status on a line of its own.
  tail -n 1 "$out/time.txt" >> "$out/bigreg.tsv"
done

echo "bench: the two crafted exports, $runs runs of hotfix-sim each" >&2
python3 bench/crafted_exports.py build/bench
for name in deep-key many-values; do
  : > "$out/$name.tsv"
  for ((i = 0; i < runs; ++i)); do
    /usr/bin/time -f '%e %M' -o "$out/time.txt" \
      build/bench/hotfix-sim --reg "build/bench/$name.reg" --windows winxp >/dev/null 2>&1 || true
    tail -n 1 "$out/time.txt" >> "$out/$name.tsv"
  done
done

echo "bench: the fleet report over 1,000 and 10,000 logs, $runs runs each" >&2
for n in 1000 10000; do
  rm -rf "build/bench/fleet-$n"
  python3 bench/fleet_logs.py "build/bench/fleet-$n" "$n"
  : > "$out/fleet-$n.tsv"
  for ((i = 0; i < runs; ++i)); do
    /usr/bin/time -f '%e %M' -o "$out/time.txt" build/bench/hotfix-sim fleet "build/bench/fleet-$n" \
      --csv "build/bench/fleet-$n.csv" >/dev/null 2>&1 || true
    tail -n 1 "$out/time.txt" >> "$out/fleet-$n.tsv"
  done
done

BENCH_ARCH=x86_64 bench/wine_bench.sh "$out" "$runs"
# The i686 build and the 32-bit NSIS peer: in the 32-bit lane (natively where
# this kernel runs 32-bit code), all three programs in one session.
rm -rf "$out/i686" "$out/i686-switches"
scripts/lane/i686.sh env BENCH_ARCH=i686 BENCH_ONLY=peer bench/wine_bench.sh "$out/i686" "$runs" ||
  echo "bench: the i686 start-up could not be measured; see above" >&2
# The switches on the i686 build only where 32-bit Wine runs here: figures
# from the lane's software emulation do not count.
if bash -c 'source scripts/lane/common.sh && lane_native_i686'; then
  BENCH_ARCH=i686 BENCH_ONLY=switches bench/wine_bench.sh "$out/i686-switches" "$runs"
fi
echo $(( $(date +%s) - began )) > "$out/elapsed"
fi

# ---- summing up ------------------------------------------------------------------

# "median min max" of the numbers on stdin.
stats() {
  sort -g | awk '{v[NR] = $1} END {
    if (NR == 0) { print "- - -"; exit }
    m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    printf "%.6g %.6g %.6g\n", m, v[1], v[NR] }'
}
# Column $2 of benchrun lines for one label.
column() { awk -F'\t' -v l="$2" -v c="$3" '$1 == "run" && $3 == l {print $c}' "$1"; }
fmt() { awk -v x="$1" -v d="${2:-0}" 'BEGIN {printf "%." d "f", x}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.3f", a / b}'; }
# "met" or "missed by N%" for value <= target.
verdict() {
  awk -v v="$1" -v t="$2" 'BEGIN {
    if (v <= t) printf "met"; else printf "**missed** by %.0f%%", (v / t - 1) * 100 }'
}
kib() { awk -v b="$1" 'BEGIN {printf "%.1f KiB", b / 1024}'; }
# One table of the switch runs: "wait" and "busy" lines of benchrun.
switch_table() {
  local file=$1 where=$2 label floor_busy
  floor_busy=$(awk -F'\t' '$1 == "busy" && $3 == "floor" {print $8}' "$file" | stats | cut -d' ' -f1)
  echo "| $where | start to box | CPU while waiting | wineserver CPU | busy.exe | busy.exe ÷ floor's |"
  echo "|---|---|---|---|---|---|"
  for label in hotfix quiet passive floor; do
    local name=$label
    case $label in hotfix) name="Hotfix.exe, no switch" ;; quiet) name="Hotfix.exe /quiet /warnrestart" ;;
      passive) name="Hotfix.exe /passive" ;; floor) name="floor.exe" ;; esac
    read -r t tlo thi <<<"$(awk -F'\t' -v l=$label '$1 == "wait" && $3 == l {print $4}' "$file" | stats)"
    read -r c clo chi <<<"$(awk -F'\t' -v l=$label '$1 == "wait" && $3 == l {print $5}' "$file" | stats)"
    read -r w wlo whi <<<"$(awk -F'\t' -v l=$label '$1 == "wait" && $3 == l {print $6}' "$file" | stats)"
    read -r b blo bhi <<<"$(awk -F'\t' -v l=$label '$1 == "busy" && $3 == l {print $8}' "$file" | stats)"
    echo "| $name | $(fmt "$t") ms ($(fmt "$tlo")–$(fmt "$thi")) | $(fmt "$c") ms ($(fmt "$clo")–$(fmt "$chi")) | $(fmt "$w") ms ($(fmt "$wlo")–$(fmt "$whi")) | $(fmt "$b") ms ($(fmt "$blo")–$(fmt "$bhi")) | $(ratio "$b" "$floor_busy")× |"
  done
}
dlls() { objdump -p "$1" | awk '/DLL Name:/ {printf "%s%s", sep, $3; sep = ", "}'; }

arch=$(cat "$out/arch")
export_bytes=$(stat -c %s build/bench/big.reg)
wine_version=$(cat "$out/wine-version")
cpu=$(awk -F': ' '/^model name/ {print $2; exit}' /proc/cpuinfo)
memory=$(awk '/^MemTotal/ {printf "%.1f GiB", $2 / 1048576}' /proc/meminfo)
commit=$(git rev-parse --short HEAD 2>/dev/null || echo unknown)
git diff --quiet HEAD -- src 2>/dev/null || commit="$commit with uncommitted changes in src/"
load=$(cut -d' ' -f1-3 /proc/loadavg)

read -r up_h up_hlo up_hhi <<<"$(column "$out/startup.tsv" hotfix 4 | stats)"
read -r up_f up_flo up_fhi <<<"$(column "$out/startup.tsv" floor 4 | stats)"
read -r up_w up_wlo up_whi <<<"$(column "$out/startup.tsv" form 4 | stats)"
read -r up_p up_plo up_phi <<<"$(column "$out/startup.tsv" formpoll 4 | stats)"
up_ratio=$(ratio "$up_h" "$up_f")
# Hotfix's gap to the floor, in ms and as a share of the floor, step by step.
gap() { awk -v a="$1" -v b="$2" -v f="$up_f" 'BEGIN {printf "%+.1f ms (%+.1f%% of the floor)", a - b, (a - b) / f * 100}'; }

read -r w3_h w3_hlo w3_hhi <<<"$(column "$out/wait3s.tsv" hotfix 5 | stats)"
read -r w3_hs w3_hslo w3_hshi <<<"$(column "$out/wait3s.tsv" hotfix 6 | stats)"
read -r w3_f w3_flo w3_fhi <<<"$(column "$out/wait3s.tsv" floor 5 | stats)"
read -r w3_fs w3_fslo w3_fshi <<<"$(column "$out/wait3s.tsv" floor 6 | stats)"
read -r w0_h w0_hlo w0_hhi <<<"$(column "$out/wait0s.tsv" hotfix 5 | stats)"
read -r w0_hs w0_hslo w0_hshi <<<"$(column "$out/wait0s.tsv" hotfix 6 | stats)"
read -r w0_f w0_flo w0_fhi <<<"$(column "$out/wait0s.tsv" floor 5 | stats)"
read -r w0_fs w0_fslo w0_fshi <<<"$(column "$out/wait0s.tsv" floor 6 | stats)"
read -r w3_wall w3_walllo w3_wallhi <<<"$(column "$out/wait3s.tsv" hotfix 4 | stats)"

read -r busy_h busy_hlo busy_hhi <<<"$(column "$out/busy.tsv" hotfix 8 | stats)"
read -r busy_f busy_flo busy_fhi <<<"$(column "$out/busy.tsv" floor 8 | stats)"
busy_ratio=$(ratio "$busy_h" "$busy_f")
read -r busybox_h busybox_hlo busybox_hhi <<<"$(column "$out/busy.tsv" hotfix 4 | stats)"
read -r busybox_f busybox_flo busybox_fhi <<<"$(column "$out/busy.tsv" floor 4 | stats)"

read -r big_s big_slo big_shi <<<"$(awk '{print $1}' "$out/bigreg.tsv" | stats)"
read -r big_kb big_kblo big_kbhi <<<"$(awk '{print $2}' "$out/bigreg.tsv" | stats)"
big_rss_ratio=$(awk -v k="$big_kb" -v b="$export_bytes" 'BEGIN {printf "%.2f", k * 1024 / b}')
big_exit=$(awk '/^Exit status/ {print $3; exit}' "$out/bigreg.out")
export_shape=$(iconv -f UTF-16LE -t UTF-8 build/bench/big.reg |
  awk '/^\[/ {k++} /^("|@)/ {v++} /^  / {c++} END {printf "%d keys, %d values, %d continuation lines", k, v, c}')

i686=build/mingw-i686/Hotfix.exe
x64=build/mingw-x86_64/Hotfix.exe
i686_bytes=$(stat -c %s "$i686")
x64_bytes=$(stat -c %s "$x64")
peer_bytes=$(stat -c %s build/bench/peer.exe)

elapsed=$(cat "$out/elapsed")
runs=$(awk -F'\t' '$1 == "run" {n[$3]++} END {for (l in n) {print n[l]; exit}}' "$out/startup.tsv")

{
cat <<MD
# Benchmarks

Generated by \`make bench\` (bench/run.sh) on $(date -u '+%Y-%m-%d %H:%M UTC'); do not edit by hand.
Every figure is the median of $runs runs with the range (min–max); figures
compared with each other come from runs interleaved in the same session.

## Machine

| | |
|---|---|
| Processors | $(nproc) × $cpu |
| Memory | $memory |
| Load average when the report was written | $load |
| Wine | $wine_version (\`/usr/lib/wine/$([ "$arch" = i686 ] && echo wine || echo wine64)\`) |
| Hotfix.exe measured under Wine | \`build/mingw-$arch/Hotfix.exe\` (MinSizeRel), commit $commit |
| Simulator | \`build/bench\`: the same CMakeLists with CMAKE_BUILD_TYPE=Release (the native preset is Debug) |
| Whole \`make bench\` (measuring part) | ${elapsed} s |

MD
cat <<MD
## 1. Start-up: until the restart question appears

Time from just before \`CreateProcess\` until the program's message box is
visible, measured inside Wine by \`benchrun.exe\` (QueryPerformanceCounter, one
clock), on a machine where the fix applies (Windows XP$( [ "$arch" = x86_64 ] && echo ' x64'), Orvane Firewall
v3.03 registered, \`C:\\fw\\trk.exe\` at 3.3.1000.0), with stub installers that
end at once. Two warm-up runs of each are not counted. The floor
(\`bench/floor.cpp\`) starts the same two installers the same way, waits for
each with WaitForSingleObject and asks the same question, with no checks.

| Program | Median | Range |
|---|---|---|
| Hotfix.exe | $(fmt "$up_h" 1) ms | $(fmt "$up_hlo" 1)–$(fmt "$up_hhi" 1) ms |
| floor.exe | $(fmt "$up_f" 1) ms | $(fmt "$up_flo" 1)–$(fmt "$up_fhi" 1) ms |
| floor_form.exe: the floor plus a hidden window like Form1 | $(fmt "$up_w" 1) ms | $(fmt "$up_wlo" 1)–$(fmt "$up_whi" 1) ms |
| floor_form_poll.exe: that, waiting with Hotfix's polling pass | $(fmt "$up_p" 1) ms | $(fmt "$up_plo" 1)–$(fmt "$up_phi" 1) ms |
MD
cat <<MD

**Hotfix/floor: $up_ratio** (target ≤ 1.05: $(verdict "$up_ratio" 1.05)).

Where the gap comes from (differences of the medians above; the two floor
variants are \`bench/floor.cpp\` built with FLOOR_FORM and FLOOR_POLL):

| Step | Cost |
|---|---|
| Form1's hidden top-level window (floor_form − floor) | $(gap "$up_w" "$up_f") |
| The polling wait instead of a blocking one (floor_form_poll − floor_form) | $(gap "$up_p" "$up_w") |
| Everything else: the registry, version and Windows checks, version.dll, the report lines (Hotfix − floor_form_poll) | $(gap "$up_h" "$up_p") |

The first two steps are the program's design: Form1 is a real window, never
shown, and the wait polls without pausing. Both are kept.$(awk -v a="$up_h" -v b="$up_p" -v f="$up_f" 'BEGIN {
  d = (a - b) / f * 100; if (d < 0) d = -d
  if (d < 2) printf " The checks themselves cost\ntoo little to tell from the noise of these runs." }')

Reproduce: \`bench/wine_bench.sh build/bench/results $runs\`, then
\`build/bench/results/startup.tsv\` (column 4: ms to the box).
MD
if [ -s "$out/i686/peer.tsv" ]; then
  read -r pi_p pi_plo pi_phi <<<"$(column "$out/i686/peer.tsv" peer 4 | stats)"
  read -r pi_h pi_hlo pi_hhi <<<"$(column "$out/i686/peer.tsv" hotfix 4 | stats)"
  read -r pi_f pi_flo pi_fhi <<<"$(column "$out/i686/peer.tsv" floor 4 | stats)"
  where=$(cat "$out/i686/where" 2>/dev/null || echo "natively")
cat <<MD

### The i686 build that ships, against the NSIS peer

The same measure for the i686 builds and the 32-bit NSIS peer
(\`bench/peer.nsi\`, which shows the same question), interleaved in one Wine
session under $(cat "$out/i686/wine-version") (win32 prefix, Windows XP), $where.
Compare these figures only with each other$( [ "$where" != natively ] && echo ': software emulation slows
CPU-bound work 5 to 20 times, so their milliseconds are not those of the table above').

| Program (i686) | Median | Range | Against the floor | Against the NSIS peer |
|---|---|---|---|---|
| Hotfix.exe | $(fmt "$pi_h" 1) ms | $(fmt "$pi_hlo" 1)–$(fmt "$pi_hhi" 1) ms | $(ratio "$pi_h" "$pi_f") | $(ratio "$pi_h" "$pi_p") |
| floor.exe | $(fmt "$pi_f" 1) ms | $(fmt "$pi_flo" 1)–$(fmt "$pi_fhi" 1) ms | 1.000 | $(ratio "$pi_f" "$pi_p") |
| NSIS peer | $(fmt "$pi_p" 1) ms | $(fmt "$pi_plo" 1)–$(fmt "$pi_phi" 1) ms | $(ratio "$pi_p" "$pi_f") | 1.000 |

Beside them, x86_64 on this host: Hotfix/floor $up_ratio.

Reproduce: \`scripts/lane/i686.sh env BENCH_ARCH=i686 BENCH_ONLY=peer bench/wine_bench.sh build/bench/results/i686 $runs\`,
then \`build/bench/results/i686/peer.tsv\`.
MD
else
cat <<MD

### The i686 build that ships, against the NSIS peer

Not measured in this run: the 32-bit lane could not run (see \`make bench\`'s output).
MD
fi
cat <<MD

## 2. The cost of waiting

Hotfix.exe waits for each installer by polling without pausing (open the
process, a zero-time wait, close, pump messages, \`Sleep(0)\`), by design. Each
pass is several wineserver requests, so under Wine the wineserver burns CPU
too. CPU time (user + system, Linux \`/proc/<pid>/stat\`, 10 ms resolution)
from process start until the restart question, read by \`benchrun.exe --cpu\`.

### a. CPU while the first installer sleeps 3 s

| | Hotfix.exe | floor.exe |
|---|---|---|
| The program's own CPU, installer sleeping 3 s | $(fmt "$w3_h") ms ($(fmt "$w3_hlo")–$(fmt "$w3_hhi")) | $(fmt "$w3_f") ms ($(fmt "$w3_flo")–$(fmt "$w3_fhi")) |
| wineserver CPU over the same span | $(fmt "$w3_hs") ms ($(fmt "$w3_hslo")–$(fmt "$w3_hshi")) | $(fmt "$w3_fs") ms ($(fmt "$w3_fslo")–$(fmt "$w3_fshi")) |
| The program's own CPU, installers ending at once | $(fmt "$w0_h") ms ($(fmt "$w0_hlo")–$(fmt "$w0_hhi")) | $(fmt "$w0_f") ms ($(fmt "$w0_flo")–$(fmt "$w0_fhi")) |
| wineserver CPU, installers ending at once | $(fmt "$w0_hs") ms ($(fmt "$w0_hslo")–$(fmt "$w0_hshi")) | $(fmt "$w0_fs") ms ($(fmt "$w0_fslo")–$(fmt "$w0_fshi")) |

So 3 s of waiting cost Hotfix.exe about **$(awk -v a="$w3_h" -v b="$w0_h" 'BEGIN {printf "%.2f", (a - b) / 1000}') CPU seconds** of its own
and the wineserver about **$(awk -v a="$w3_hs" -v b="$w0_hs" 'BEGIN {printf "%.2f", (a - b) / 1000}') CPU seconds** more
(differences of the medians; Hotfix.exe's whole run with the 3 s installer
took $(fmt "$w3_wall") ms, $(fmt "$w3_walllo")–$(fmt "$w3_wallhi")). $(awk -v a="$w3_f" -v b="$w0_f" 'BEGIN {
  d = (a - b) / 1000
  if (d < 0.05) printf "The floor spends nothing measurable on\nthe same wait (%+.2f CPU seconds, within the noise).", d
  else printf "The floor spends %.2f CPU seconds on the same wait.", d }') No target; the figure is
what a customer's machine pays per second of installer time.

Reproduce: \`bench/wine_bench.sh build/bench/results $runs\`, then
\`build/bench/results/wait3s.tsv\` and \`wait0s.tsv\` (columns 5 and 6).

### b. A CPU-bound installer run by Hotfix.exe and by the floor

\`bench/busy.cpp\` as the first installer: two threads, each doing a fixed
amount of arithmetic (about 2 s on an idle core), timed by busy.exe itself,
on $(nproc) processors.

| | Hotfix.exe | floor.exe |
|---|---|---|
| busy.exe's wall time | $(fmt "$busy_h") ms ($(fmt "$busy_hlo")–$(fmt "$busy_hhi")) | $(fmt "$busy_f") ms ($(fmt "$busy_flo")–$(fmt "$busy_fhi")) |
| start to restart question | $(fmt "$busybox_h") ms ($(fmt "$busybox_hlo")–$(fmt "$busybox_hhi")) | $(fmt "$busybox_f") ms ($(fmt "$busybox_flo")–$(fmt "$busybox_fhi")) |

**The installer takes $busy_ratio× as long under Hotfix.exe as under the floor.**

Reproduce: \`bench/wine_bench.sh build/bench/results $runs\`, then
\`build/bench/results/busy.tsv\` (column 8: busy.exe's ms).

### c. Under the deployment switches

The run without switches beside \`/quiet /warnrestart\` and \`/passive\`,
which end in the restart countdown (answered Annulla) where the plain run
asks its question, and the floor; interleaved in one session on all
$(nproc) processors, then in another with the wineserver and every program
pinned to one processor (\`taskset\`), as on the usual XP desk machine.
"Start to box": the first installer sleeps 3 s, the second ends at once.
"CPU while waiting": the program's own CPU time until its box, and the
wineserver's over the same span. busy.exe as in b.

$(switch_table "$out/switches.tsv" "$arch, all $(nproc) processors")

$(switch_table "$out/switches1.tsv" "$arch, one processor")

$(if [ -f "$out/i686-switches/switches.tsv" ]; then
  echo "The i686 build that ships, natively (32-bit Wine runs on this kernel):"
  echo
  switch_table "$out/i686-switches/switches.tsv" "i686, all $(nproc) processors"
  echo
  switch_table "$out/i686-switches/switches1.tsv" "i686, one processor"
else
  echo "The i686 build was not measured here: 32-bit Wine does not run on this kernel, and"
  echo "figures from the lane's software emulation do not count."
fi)

Under a switch the wait sleeps until the installer ends or a message comes
(the progress window's timer, for one), so Hotfix.exe's CPU while waiting
stays near the floor's, and the installer runs as under the floor; without
a switch the wait polls, as it always has.

Reproduce: \`bench/wine_bench.sh build/bench/results $runs\`, then
\`build/bench/results/switches.tsv\` and \`switches1.tsv\`.

## 3. Size

| File | Size | DLLs it imports (\`objdump -p\`) |
|---|---|---|
| \`build/mingw-i686/Hotfix.exe\` | $i686_bytes bytes ($(kib "$i686_bytes")) | $(dlls "$i686") |
| \`build/mingw-x86_64/Hotfix.exe\` | $x64_bytes bytes ($(kib "$x64_bytes")) | $(dlls "$x64") |
| \`build/mingw-i686/floor.exe\` | $(stat -c %s build/mingw-i686/floor.exe) bytes | $(dlls build/mingw-i686/floor.exe) |
| NSIS peer, \`build/bench/peer.exe\` ($(makensis -VERSION), 32-bit, LZMA) | $peer_bytes bytes ($(kib "$peer_bytes")) | $(dlls build/bench/peer.exe) |

i686 Hotfix.exe ≤ 256 KiB, one file: $(verdict "$i686_bytes" 262144) ($(kib "$i686_bytes"); only
Windows' own DLLs are imported, nothing to ship beside it). Hotfix.exe (i686)
is $(ratio "$i686_bytes" "$peer_bytes")× the NSIS peer's size.

Reproduce: \`make windows && ls -l build/mingw-*/Hotfix.exe && objdump -p build/mingw-i686/Hotfix.exe | grep 'DLL Name'\`.

### Step by step

| Step | i686 | saving | x86_64 | Pentium Pro instructions |
|---|---|---|---|---|
$(awk -F'\t' '!/^#/ { saving = prev ? prev - $3 : 0; prev = $3
  printf "| %s (%s) | %d | %s | %s | %d |\n", $1, $2, $3, saving ? saving : "—", $4, $5 }' bench/size-steps.tsv)
| NSIS peer | $peer_bytes | | | 22 CMOV |
| floor (\`bench/floor.cpp\`) | $(stat -c %s build/mingw-i686/floor.exe) | | | |

From \`bench/size-steps.tsv\`. Now, by \`tests/pe/pentium_check.py\`:
$(python3 tests/pe/pentium_check.py build/mingw-i686/Hotfix.exe build/mingw-i686/Hotfix.map 2>&1 | tail -1).
The first 234 were in the program's own code and the library's string
objects its throw helpers pulled in, the printf engine and gdtoa, libmsvcrt's
helpers, libsupc++, the libgcc unwinder, libmingw32 and \`crt2u.o\`; the 18
left before the runtime step were libsupc++ 10, the unwinder 5, libmingw32 2
and \`crt2u.o\` 1.

## 4. The simulator at scale

### a. A whole simulated run of each bundled scenario

Google Benchmark, \`build/bench/hotfix_sim_bench\`: per iteration, a copy of
the loaded machine and \`sim::RunProgram\` on it. Wall time per run, median of
$runs repetitions (range). Target ≤ 50 µs each.

| Scenario | Median | Range | Target |
|---|---|---|---|
MD
awk -F, '$1 ~ /^"scenario\// && $1 !~ /_(mean|median|stddev|cv)"$/ {
    gsub(/"/, "", $1); sub(/^scenario\//, "", $1); print $1, $3 }' "$out/sim.csv" |
  sort -k1,1 -k2,2g | awk '
    { v[$1] = v[$1] " " $2; n[$1]++ }
    END { for (s in v) print s v[s] }' | sort |
  while read -r name values; do
    read -r m lo hi <<<"$(tr ' ' '\n' <<<"$values" | stats)"
    echo "| $name | $(fmt "$m" 1) µs | $(fmt "$lo" 1)–$(fmt "$hi" 1) µs | $(verdict "$m" 50) |"
  done
worst=$(awk -F, '$1 ~ /^"scenario\/.*_median"$/ {print $3}' "$out/sim.csv" | sort -g | tail -1)
cat <<MD

Slowest median: $(fmt "$worst" 1) µs (target ≤ 50 µs: $(verdict "$worst" 50)).

Reproduce: \`build/bench/hotfix_sim_bench scenarios --benchmark_repetitions=$runs\`.

### b. A 200 MiB regedit export

\`bench/make_export.cpp\` (seed 40517) writes \`build/bench/big.reg\`:
$export_bytes bytes of UTF-16LE "Windows Registry Editor Version 5.00" shaped
like a full HKLM\\SOFTWARE export ($export_shape;
strings, dword, hex, hex(0), hex(2), hex(7), hex(b), hex(4), long wrapped hex
values, @ defaults, names outside ASCII), with the firewall's keys in the
middle. hotfix-sim ends with exit status $big_exit (the fix does not apply: no
trk.exe is given), having loaded the whole file.

| | Median | Range | Target |
|---|---|---|---|
| Wall time | $big_s s | $big_slo–$big_shi s | ≤ 10 s: $(verdict "$big_s" 10) |
| Peak memory (maximum resident set) | $(awk -v k="$big_kb" 'BEGIN {printf "%.0f MiB", k / 1024}') ($big_rss_ratio× the file) | $(awk -v a="$big_kblo" -v b="$big_kbhi" 'BEGIN {printf "%.0f–%.0f MiB", a / 1024, b / 1024}') | ≤ 2× the file: $(verdict "$big_rss_ratio" 2) |

Reproduce: \`build/bench/make_export build/bench/big.reg 200 40517 &&
/usr/bin/time -v build/bench/hotfix-sim --reg build/bench/big.reg --windows winxp\`.

### c. The fleet report

\`hotfix-sim fleet\` over a folder of logs as a share collects them
(\`bench/fleet_logs.py\`: finished runs of each verdict, runs without their
result line, one file in 97 not a log), with \`--csv\`. Wall time and peak
memory of the whole run, median of $runs (range). Target: 10,000 logs in
under 5 s, memory not growing with the number of files.

| Logs | Time | Peak memory | Target |
|---|---|---|---|
$(for n in 1000 10000; do
  if [ -f "$out/fleet-$n.tsv" ]; then
    read -r t tlo thi <<<"$(awk '{print $1}' "$out/fleet-$n.tsv" | stats)"
    read -r k klo khi <<<"$(awk '{print $2}' "$out/fleet-$n.tsv" | stats)"
    echo "| $n | $(fmt "$t" 2) s ($(fmt "$tlo" 2)–$(fmt "$thi" 2)) | $(fmt "$(awk -v k="$k" 'BEGIN {print k / 1024}')" 1) MiB | $([ "$n" = 10000 ] && verdict "$t" 5 || echo) |"
  else
    echo "| $n | not measured in this run | | |"
  fi
done)

### d. Two crafted exports

Exports a customer could send that once stalled the simulator: one key line
40 KB long with 20,000 levels (more than Windows' 512, so the line is
skipped with a warning), and 40,000 values under one key
(\`bench/crafted_exports.py\`, also fuzzing seeds). Wall time and peak memory
of a whole \`hotfix-sim\` run, median of $runs (range).

| Export | Time | Peak memory |
|---|---|---|
$(for name in deep-key many-values; do
  read -r t tlo thi <<<"$(awk '{print $1}' "$out/$name.tsv" | stats)"
  read -r k klo khi <<<"$(awk '{print $2}' "$out/$name.tsv" | stats)"
  echo "| \`$name.reg\` ($(stat -c %s "build/bench/$name.reg") bytes) | $(fmt "$t" 2) s ($(fmt "$tlo" 2)–$(fmt "$thi" 2)) | $(fmt "$(awk -v k="$k" 'BEGIN {print k / 1024}')" 1) MiB |"
done)
MD
} > BENCHMARKS.md
echo "bench: wrote BENCHMARKS.md (${elapsed} s)" >&2
