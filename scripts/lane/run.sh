#!/usr/bin/env bash
# Runs one command in the 32-bit lane's guest: boots it under qemu (software
# emulation), with the repository shared at the same path, streams the
# command's output and returns its exit status. The guest never outlives this
# script, and every boot starts from the pristine image.
#
#   scripts/lane/run.sh [--timeout SECONDS] [--keep DIR] -- COMMAND [ARG...]
#     --keep DIR   copy what programs left in the guest's Wine prefixes
#                  (outside C:\windows and C:\users) to DIR afterwards
# The command runs in the current folder (which must lie in the repository)
# with the caller's HOTFIX_*, GTEST_* and CI variables.
#
# Exit status: the command's own; or, with a message saying which,
#   124  the time-out passed (the guest is stopped)
#   125  qemu ended twice before the command started (boot failure)
#   126  the guest ended while the command ran, without its exit status
#   127  no guest image (scripts/lane/image.sh makes it)
# Internal: --image DIR --writable boot a given image and keep what is written.
set -euo pipefail
# shellcheck source=common.sh
source "$(dirname "$0")/common.sh"

timeout=3600
image=
writable=false
keep=
while [ $# -gt 0 ]; do
  case $1 in
    --timeout) timeout=$2; shift 2 ;;
    --keep) keep=$2; shift 2 ;;
    --image) image=$2; shift 2 ;;
    --writable) writable=true; shift ;;
    --) shift; break ;;
    *) lane_log "unknown option $1"; exit 2 ;;
  esac
done
[ $# -gt 0 ] || { lane_log "usage: run.sh [--timeout S] [--keep DIR] -- COMMAND..."; exit 2; }
if [ -z "$image" ]; then
  image=$(lane_image_dir)
  lane_image_ready || { lane_log "no guest image at $image; make it with scripts/lane/image.sh"; exit 127; }
fi
repo=$(cd "$lane_dir/../.." && pwd)

control=$(mktemp -d /tmp/hotfix-lane.XXXXXX)
qemu_pid=
cleanup() {
  if [ -n "$qemu_pid" ] && kill -0 "$qemu_pid" 2>/dev/null; then
    kill -TERM "$qemu_pid" 2>/dev/null || true
    sleep 1
    kill -KILL "$qemu_pid" 2>/dev/null || true
  fi
  rm -rf "$control"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

cp "$lane_dir/session" "$control/session"
printf '%q ' "$@" > "$control/command"
echo >> "$control/command"
case $PWD/ in
  "$repo"/*) pwd > "$control/cwd" ;;
  *) echo / > "$control/cwd" ;;
esac
echo "$repo" > "$control/shares"
[ -n "$keep" ] && mkdir -p "$keep" && (cd "$keep" && pwd) > "$control/keep"
: > "$control/env"
while IFS='=' read -r name _; do
  case $name in
    HOTFIX_WINE_ROOT | HOTFIX_WINE_TEMPLATE | HOTFIX_LANE_*) ;;
    HOTFIX_* | GTEST_* | CI) printf 'export %s=%q\n' "$name" "${!name}" >> "$control/env" ;;
  esac
done < <(env)

boot() {
  local -a args=(
    -accel tcg,thread=multi -smp 2 -m 4G
    # -cpu max alone: QEMU's IRET to 32-bit user code trips SMAP and every
    # 32-bit Wine process dies in a guest kernel Oops.
    -cpu max,smap=off,la57=off
    -nodefaults -display none -no-reboot
    # ttyS0: the command's output, streamed; ttyS1: the kernel's console.
    -chardev stdio,id=output,signal=off -serial chardev:output
    -serial "file:$control/console.log"
    -kernel "$image/vmlinuz" -initrd "$image/initrd.img"
    -append "console=ttyS1 root=/dev/vda rw quiet loglevel=4 panic=-1"
    -drive "file=$image/root.ext4,format=raw,if=virtio,cache=unsafe"
    -virtfs "local,path=$control,mount_tag=lane,security_model=none"
    -virtfs "local,path=$repo,mount_tag=share0,security_model=none"
  )
  $writable || args+=(-snapshot)
  qemu-system-x86_64 "${args[@]}" < /dev/null &
  qemu_pid=$!
  local deadline=$((SECONDS + timeout))
  while kill -0 "$qemu_pid" 2>/dev/null; do
    if [ $SECONDS -ge $deadline ]; then
      lane_log "the guest did not finish within $timeout s; stopping it"
      return 124
    fi
    sleep 1
  done
  local status=0
  wait "$qemu_pid" || status=$?
  qemu_pid=
  return "$status"
}

for attempt in 1 2; do
  qemu_status=0
  boot || qemu_status=$?
  [ "$qemu_status" = 124 ] && exit 124
  if [ -f "$control/status" ]; then
    exit "$(cat "$control/status")"
  fi
  if [ -f "$control/started" ]; then
    lane_log "the guest ended (qemu status $qemu_status) while the command ran, without its exit status; the guest's console:"
    tail -n 20 "$control/console.log" >&2 || true
    exit 126
  fi
  # qemu 7.2 was seen to crash seconds after start about once in twenty boots.
  lane_log "qemu ended (status $qemu_status) before the command started (attempt $attempt); the guest's console:"
  tail -n 20 "$control/console.log" >&2 || true
done
lane_log "the guest could not be started; see its console above"
exit 125
