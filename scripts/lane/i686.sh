#!/usr/bin/env bash
# Runs a command that needs 32-bit Wine: here, where this kernel runs 32-bit
# code, otherwise in the lane's guest (scripts/lane/run.sh). HOTFIX_LANE=guest
# uses the guest even where 32-bit code runs here.
#
#   scripts/lane/i686.sh [--shards N] COMMAND [ARG...]
# --shards N: in the guest, run a GoogleTest COMMAND as N shards at once
# (scripts/lane/shards.sh); here it runs as one.
# Exit status: the command's; 77 (skipped) when neither way is open, unless
# HOTFIX_WINE_STRICT=1, which makes that a failure (1).
set -euo pipefail
# shellcheck source=common.sh
source "$(dirname "$0")/common.sh"

shards=1
if [ "${1:-}" = --shards ]; then
  shards=$2
  shift 2
fi
if [ "${HOTFIX_LANE:-}" != guest ] && lane_native_i686; then
  exec "$@"
fi
if ! lane_image_ready; then
  lane_log "32-bit Wine cannot run on this kernel and the guest image $(lane_image_dir) is missing"
  lane_log "make it with: sudo scripts/lane/image.sh (make test does, as root)"
  [ "${HOTFIX_WINE_STRICT:-}" = 1 ] && exit 1
  exit 77
fi
repo=$(cd "$lane_dir/../.." && pwd)
lane_log "32-bit Wine cannot run here$([ "${HOTFIX_LANE:-}" = guest ] && echo " (HOTFIX_LANE=guest)"); running in the guest: $*"
[ "$shards" -gt 1 ] && set -- "$lane_dir/shards.sh" "$shards" "$@"
exec "$lane_dir/run.sh" --timeout "${HOTFIX_LANE_TIMEOUT:-3000}" --keep "$repo/build/lane" -- "$@"
