# Shared by the lane's scripts: where the guest image lives and its name.
# shellcheck shell=bash
lane_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
lane_cache=${HOTFIX_LANE_CACHE:-/var/cache/hotfix}

# Everything that goes into the image, so that a change to any of it names a
# new image and the old one is rebuilt.
lane_hash() {
  cat "$lane_dir/image.sh" "$lane_dir/archive.sh" "$lane_dir/packages" "$lane_dir/initrd-init" "$lane_dir/guest-init" |
    sha256sum | cut -c1-16
}
lane_image_dir() { echo "$lane_cache/lane-$(lane_hash)"; }
lane_image_ready() { [ -f "$(lane_image_dir)/ready" ]; }

# Whether this kernel runs 32-bit Wine itself, so that no guest is needed.
lane_native_i686() { /usr/lib/wine/wine --version >/dev/null 2>&1; }

lane_log() { printf 'lane: %s\n' "$*" >&2; }
