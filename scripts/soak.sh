#!/usr/bin/env bash
# make soak: the Wine suites of both builds, RUNS times each (5 unless RUNS
# says otherwise), beside a CPU-bound job on every core, as loaded as a
# shared CI machine; then, for each case, how many runs failed. The i686
# suite runs in the 32-bit lane where this kernel runs no 32-bit code (or
# HOTFIX_LANE=guest); there one busy core is enough, the guest needs the rest.
# Logs: build/soak/. Exit status 1 when any case failed in any run.
set -uo pipefail
cd "$(dirname "$0")/.."
source scripts/lane/common.sh
runs=${RUNS:-5}
out=$PWD/build/soak
tests=$PWD/build/native/hotfix_wine_tests
rm -rf "$out"
mkdir -p "$out"

busy=()
start_busy() {
  for _ in $(seq "$1"); do
    (while :; do :; done) &
    busy+=($!)
  done
}
stop_busy() {
  [ ${#busy[@]} -gt 0 ] && kill "${busy[@]}" 2>/dev/null
  wait "${busy[@]}" 2>/dev/null
  busy=()
}
trap stop_busy EXIT

# One architecture: its suite RUNS times in one program (one guest boot in
# the lane), every case's result in <arch>.results.
soak() {
  local arch=$1 cores=$2 began=$SECONDS status=0
  shift 2
  echo "soak: $arch, $runs runs, $cores busy core(s) beside it"
  start_busy "$cores"
  HOTFIX_PROGRESS=$out/progress.log HOTFIX_RESULTS=$out/$arch.results \
    "$@" "$tests" --gtest_filter="*$arch" --gtest_repeat="$runs" > "$out/$arch.log" 2>&1 || status=$?
  stop_busy
  echo "soak: $arch ended with status $status after $((SECONDS - began)) s (log: $out/$arch.log)"
}

# The progress lines go to the terminal as the suites run.
: > "$out/progress.log"
tail -n +1 -s 1 -f "$out/progress.log" &
tailer=$!
soak x86_64 "$(nproc)"
if [ "${HOTFIX_LANE:-}" != guest ] && lane_native_i686; then
  soak i686 "$(nproc)"
else
  HOTFIX_LANE_TIMEOUT=$((runs * 3600)) soak i686 1 scripts/lane/i686.sh --shards 2
fi
sleep 1.5
kill "$tailer" 2>/dev/null

echo
echo "Failed runs of each case, $runs runs each, under load (failed/runs):"
awk -v runs="$runs" '
  { split(FILENAME, p, "/"); arch = p[length(p)]; sub(/\.results$/, "", arch)
    name = $2; sub("[/_]" arch "$", "", name)
    if (!(name in order)) { order[name] = ++count; names[count] = name }
    seen[name, arch]++; if ($1 == "FAIL") { failed[name, arch]++; bad[arch]++ }
    total[arch]++; archs[arch] = 1 }
  END {
    printf "  %-84s %9s %9s\n", "case", "x86_64", "i686"
    for (i = 1; i <= count; i++) {
      n = names[i]; line = sprintf("  %-84s", n)
      for (a = 0; a < 2; a++) {
        arch = a == 0 ? "x86_64" : "i686"
        cell = seen[n, arch] ? sprintf("%d/%d", failed[n, arch], seen[n, arch]) : "-"
        line = line sprintf(" %9s", cell)
        if (failed[n, arch] > 0 || (seen[n, arch] && seen[n, arch] != runs)) any = 1
      }
      print line
    }
    for (a in total) printf "  %s: %d case runs, %d failed\n", a, total[a], bad[a]
    print any ? "  some case failed or missed a run" : "  every case passed in every run"
    exit any ? 1 : 0
  }' $(ls "$out"/*.results 2>/dev/null || echo /dev/null)
