#!/usr/bin/env bash
# Builds the 32-bit lane's guest: a Debian 12 tree with Debian's kernel and
# 32-bit Wine, a small initrd, an ext4 image holding a win32 Wine prefix made
# once. Kept in $HOTFIX_LANE_CACHE (default /var/cache/hotfix) under a name
# hashed from this script and what it copies in; rebuilt when missing or stale.
#
#   scripts/lane/image.sh [--force]
# Does nothing where this kernel runs 32-bit Wine itself (unless --force or
# HOTFIX_LANE=guest).
# Root only, as the bootstrap script; otherwise it prints the commands.
set -euo pipefail
# shellcheck source=common.sh
source "$(dirname "$0")/common.sh"
# shellcheck source=archive.sh
source "$(dirname "$0")/archive.sh"

force=false
[ "${1:-}" = --force ] && force=true
release=bookworm

if ! $force && [ "${HOTFIX_LANE:-}" != guest ] && lane_native_i686; then
  lane_log "32-bit Wine runs on this kernel: the i686 build runs natively, no guest is needed"
  exit 0
fi
final=$(lane_image_dir)
if lane_image_ready; then
  lane_log "guest image $final is current"
  exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
  lane_log "the guest image $final is missing; making it takes about 15 minutes, as root:"
  lane_log "  sudo $lane_dir/image.sh"
  exit 1
fi
for tool in debootstrap mke2fs cpio qemu-system-x86_64; do
  command -v "$tool" >/dev/null || { lane_log "$tool is missing; run scripts/bootstrap.sh"; exit 1; }
done
mirror=$(archive_main "$release")
if [ -z "$mirror" ]; then
  lane_log "no Debian $release archive in this machine's apt sources (/etc/apt/sources.list.d/*.sources,"
  lane_log "/etc/apt/sources.list); name one with HOTFIX_LANE_MIRROR=URI"
  exit 1
fi
proxy=$(archive_proxy)
[ -n "$proxy" ] && export http_proxy=$proxy

mkdir -p "$lane_cache"
exec 9>"$lane_cache/lane.lock"
flock 9
# Another run may have made it while this one waited for the lock.
lane_image_ready && { lane_log "guest image $final is current"; exit 0; }

# Left by a build that was stopped; none runs now, this one holds the lock.
rm -rf "$lane_cache"/build-*
work=$lane_cache/build-$(lane_hash)
tree=$work/tree
began=$(date +%s)
step() {
  local name=$1 at
  shift
  at=$(date +%s)
  lane_log "$name ..."
  "$@"
  lane_log "$name: done in $(($(date +%s) - at)) s"
}

unmount_tree() {
  for m in proc sys dev/pts dev; do
    mountpoint -q "$tree/$m" 2>/dev/null && umount -l "$tree/$m"
  done
  return 0
}
trap unmount_tree EXIT

debootstrap_tree() {
  rm -rf "$work"
  mkdir -p "$work"
  debootstrap --variant=minbase --arch=amd64 "$release" "$tree" "$mirror" > "$work/debootstrap.log" 2>&1 ||
    { tail -20 "$work/debootstrap.log" >&2; return 1; }
}

install_packages() {
  mount -t proc proc "$tree/proc"
  mount --bind /dev "$tree/dev"
  mount -t devpts devpts "$tree/dev/pts"
  # The host's own entries (security updates too), so that the guest's Wine
  # is the version the host's apt would install.
  archive_entries "$release" | awk '{ print "deb", $1, $2, "main" }' > "$tree/etc/apt/sources.list"
  rm -f "$tree"/etc/apt/sources.list.d/*
  [ -n "$proxy" ] && printf 'Acquire::http::Proxy "%s";\n' "$proxy" > "$tree/etc/apt/apt.conf.d/01proxy"
  local packages
  packages=$(grep -v '^#' "$lane_dir/packages" | tr '\n' ' ')
  # INITRD=No: the guest boots with the lane's own initrd, not Debian's.
  chroot "$tree" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive \
    INITRD=No /bin/sh -c "dpkg --add-architecture i386 && apt-get update -qq &&
      apt-get install -y -qq --no-install-recommends $packages && apt-get clean" \
    > "$work/packages.log" 2>&1 || { tail -20 "$work/packages.log" >&2; return 1; }
  rm -rf "$tree"/var/lib/apt/lists/* "$tree"/boot/initrd.img*
  unmount_tree
}

# The modules (and what they need) to reach the root disk; 9p is loaded from it.
make_initrd() {
  local kver modules_dir root_dir
  kver=$(basename "$(ls -d "$tree"/lib/modules/*)")
  modules_dir=$tree/lib/modules/$kver
  root_dir=$work/initrd
  rm -rf "$root_dir"
  mkdir -p "$root_dir"/{bin,dev,proc,sys,newroot,modules}
  cp "$tree/bin/busybox" "$root_dir/bin/busybox"
  cp "$lane_dir/initrd-init" "$root_dir/init"
  chmod 755 "$root_dir/init"
  # ext4 asks the crypto API for crc32c, which modules.dep does not list.
  local -a wanted=(virtio_pci virtio_blk crc32c_generic ext4)
  local -a order=()
  declare -A seen=()
  add_module() {
    local name=$1 path dep
    [ -n "${seen[$name]:-}" ] && return 0
    seen[$name]=1
    path=$(awk -F: -v n="$name" '{m = $1; sub(/.*\//, "", m); sub(/\.ko(\.[a-z]+)?$/, "", m);
      gsub(/-/, "_", m); if (m == n) {print $0; exit}}' "$modules_dir/modules.dep")
    [ -z "$path" ] && return 0  # built into the kernel
    for dep in ${path#*:}; do
      dep=${dep##*/}
      dep=${dep%%.ko*}
      add_module "${dep//-/_}"
    done
    order+=("${path%%:*}")
  }
  for m in "${wanted[@]}"; do add_module "$m"; done
  : > "$root_dir/modules/order"
  for rel in "${order[@]}"; do
    local file=${rel##*/}
    case $file in
      *.ko.xz) xz -dc "$modules_dir/$rel" > "$root_dir/modules/${file%.xz}"; file=${file%.xz} ;;
      *.ko.zst) zstd -qdc "$modules_dir/$rel" > "$root_dir/modules/${file%.zst}"; file=${file%.zst} ;;
      *) cp "$modules_dir/$rel" "$root_dir/modules/$file" ;;
    esac
    echo "$file" >> "$root_dir/modules/order"
  done
  (cd "$root_dir" && find . | cpio -o -H newc --quiet | gzip -1) > "$work/initrd.img"
  cp "$tree/boot/vmlinuz-$kver" "$work/vmlinuz"
  rm -rf "$root_dir"
}

make_image() {
  install -m 755 "$lane_dir/guest-init" "$tree/sbin/hotfix-lane-init"
  mkdir -p "$tree/var/lib/hotfix"
  rm -f "$work/root.ext4"
  mke2fs -q -t ext4 -O ^has_journal -L hotfix-lane -d "$tree" "$work/root.ext4" 8G
  rm -rf "$tree"
}

# wineboot takes one to seven minutes under emulation: once, here, not per run.
make_prefix() {
  "$lane_dir/run.sh" --image "$work" --writable --timeout 1800 -- /bin/sh -c '
    set -e
    mkdir -p /var/lib/hotfix/template
    export WINEPREFIX=/var/lib/hotfix/template/i686 WINEARCH=win32 WINEDEBUG=-all
    WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" /usr/lib/wine/wine wineboot -i \
      > /var/lib/hotfix/template/i686.log 2>&1
    wineserver -w
    test -f "$WINEPREFIX/system.reg"
    du -sh "$WINEPREFIX"'
}

step "debootstrap of Debian 12 (minbase) from $mirror${proxy:+ through $proxy}" debootstrap_tree
step "kernel, 32-bit Wine and tools in the guest tree" install_packages
step "initrd" make_initrd
step "ext4 image" make_image
step "win32 Wine prefix, made inside the guest" make_prefix
touch "$work/ready"
for old in "$lane_cache"/lane-*; do
  [ -e "$old" ] && [ "$old" != "$final" ] && rm -rf "$old"
done
rm -rf "$final"
mv "$work" "$final"
lane_log "guest image ready in $final after $(($(date +%s) - began)) s"
