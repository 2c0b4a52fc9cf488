#!/usr/bin/env bash
# Builds the emulated guest that runs 32-bit Wine on hosts whose kernel cannot:
# Debian 12 (its stock kernel has 32-bit emulation on) with 32-bit Wine, Xvfb, the
# tools the tests call, and a 32-bit Wine prefix made once and kept in the image.
#   tools/win32-vm/build-image.sh <cache-dir>
# Writes <cache-dir>/root.img (raw ext4), vmlinux (the uncompressed kernel: no
# decompression at every boot), initrd.img and inputs.sha256. An image whose
# inputs (this script, the guest's init, the harness's prefix recipe) are unchanged
# is reused as it is. Everything comes from Debian's packages, from the mirror the
# host's apt uses (QUILMER_GUEST_MIRROR overrides it). Needs root.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
src=$(cd "$here/../.." && pwd)
cache=${1:?usage: build-image.sh <cache-dir>}
mkdir -p "$cache"
cache=$(cd "$cache" && pwd)

suite=bookworm
packages=(
  linux-image-amd64
  wine wine32:i386 wine64
  xvfb xauth x11-utils xdotool imagemagick fonts-dejavu-core fonts-dejavu-extra
  cmake python3 locales iproute2 util-linux procps kmod
  openssl osslsigncode curl
)
inputs=("$here/build-image.sh" "$here/guest-init.sh" "$src/tests/harness/wine-prefix.sh")
digest=$( (printf '%s\n' "${packages[@]}"; cat "${inputs[@]}") | sha256sum | cut -d' ' -f1)
if [ -f "$cache/inputs.sha256" ] && [ "$(cat "$cache/inputs.sha256")" = "$digest" ] \
   && [ -s "$cache/root.img" ] && [ -s "$cache/vmlinux" ] && [ -s "$cache/initrd.img" ]; then
  echo "win32 guest: image in $cache is up to date"
  exit 0
fi
[ "$(id -u)" -eq 0 ] || { echo "build-image.sh: needs root (debootstrap, chroot)" >&2; exit 1; }

# The Debian mirrors the host's apt already uses, for the release and its updates.
sources=$(apt-cache policy | sed -nE "s#^ *[0-9]+ (\S+) ($suite(-updates|-security)?)/main amd64 Packages#deb \1 \2 main#p" | sort -u)
mirror=${QUILMER_GUEST_MIRROR:-$(sed -nE "s#^deb (\S+) $suite main#\1#p" <<<"$sources" | head -n1)}
[ -n "$mirror" ] || { echo "build-image.sh: no $suite mirror in apt's sources; set QUILMER_GUEST_MIRROR" >&2; exit 1; }
[ -n "${QUILMER_GUEST_MIRROR:-}" ] && sources="deb $mirror $suite main"

work="$cache/build.tmp"
root="$work/root"
mounted=()
cleanup() {
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount -l "${mounted[i]}" 2>/dev/null || true; done
}
trap cleanup EXIT
stage() { echo "win32 guest: $1 ($(( SECONDS - stage_start )) s so far)"; }
stage_start=$SECONDS
rm -rf --one-file-system "$work"
mkdir -p "$root"

stage "debootstrap $suite from $mirror"
debootstrap --variant=minbase --arch=amd64 --include=iproute2,kmod,procps,python3,initramfs-tools,zstd \
  "$suite" "$root" "$mirror" >"$work/debootstrap.log" 2>&1 \
  || { tail -n 30 "$work/debootstrap.log" >&2; exit 1; }

for fs in proc sys dev; do
  mount --rbind "/$fs" "$root/$fs"; mount --make-rslave "$root/$fs"; mounted+=("$root/$fs")
done
printf '%s\n' "$sources" >"$root/etc/apt/sources.list"
# No services start inside the chroot.
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"; chmod +x "$root/usr/sbin/policy-rc.d"
# A small initramfs: the root disk's drivers and nothing else.
sed -i -e 's/^MODULES=.*/MODULES=list/' -e 's/^#\?COMPRESS=.*/COMPRESS=zstd/' "$root/etc/initramfs-tools/initramfs.conf"
printf '%s\n' virtio_pci virtio_blk ext4 >>"$root/etc/initramfs-tools/modules"

stage "packages"
in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive LANG=C.UTF-8 "$@"; }
in_root dpkg --add-architecture i386
in_root apt-get update -q >"$work/apt.log" 2>&1 || { tail -n 30 "$work/apt.log" >&2; exit 1; }
# On a host that cannot run i386 code one i386 post-install step fails ("Exec
# format error"); it does not matter to Wine, and what does is checked below.
if ! in_root apt-get install -y -q --no-install-recommends "${packages[@]}" >>"$work/apt.log" 2>&1; then
  echo "win32 guest: apt-get reported an error (expected on hosts without 32-bit support); checking the result"
  in_root dpkg --configure -a >>"$work/apt.log" 2>&1 || true
fi
for f in /usr/lib/wine/wine /usr/lib/wine/wine64 /usr/bin/Xvfb /usr/bin/ctest /usr/bin/xdotool /usr/bin/import \
         /usr/bin/osslsigncode /usr/bin/openssl /usr/bin/localedef; do
  [ -e "$root$f" ] || { tail -n 30 "$work/apt.log" >&2; echo "build-image.sh: $f is missing in the guest" >&2; exit 1; }
done
in_root apt-get clean
rm -rf "$root"/var/lib/apt/lists/* "$root/usr/sbin/policy-rc.d"

# The kernel ELF inside vmlinuz (an XZ stream after the decompressor): QEMU boots
# it directly through its PVH entry.
vmlinuz=$(ls "$root"/boot/vmlinuz-* | sort -V | tail -n1)
offset=$(LC_ALL=C grep -abo -m1 $'\xfd7zXZ' "$vmlinuz" | head -n1 | cut -d: -f1)
[ -n "$offset" ] || { echo "build-image.sh: no XZ stream in $vmlinuz" >&2; exit 1; }
tail -c +$((offset + 1)) "$vmlinuz" >"$work/vmlinux.xz"
xz -dc --single-stream "$work/vmlinux.xz" >"$work/vmlinux"
rm "$work/vmlinux.xz"
cp "$(ls "$root"/boot/initrd.img-* | sort -V | tail -n1)" "$work/initrd.img"

install -m 755 "$here/guest-init.sh" "$root/sbin/quilmer-init"
install -D -m 755 "$src/tests/harness/wine-prefix.sh" "$root/usr/local/lib/quilmer/wine-prefix.sh"
cleanup; mounted=()

stage "disk image"
truncate -s 8G "$work/root.img"
mke2fs -q -t ext4 -E root_owner=0:0 -d "$root" "$work/root.img"
rm -rf --one-file-system "$root"

# The 32-bit Wine prefix takes minutes to create under emulation: made once here,
# by the harness's own recipe, in a boot that writes to the image itself. The
# tests use it through run.sh --wine-prefix; the harness adds the rest per run.
stage "32-bit Wine prefix (a boot of the guest)"
bash "$here/run.sh" --image "$work" --writable --timeout 1800 -- bash -c '
  set -e
  export WINEPREFIX=/var/lib/quilmer-wine/wineprefix WINEARCH=win32 WINELOADER=/usr/lib/wine/wine
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  mkdir -p "$WINEPREFIX"
  wineserver -p </dev/null >/dev/null 2>&1
  bash /usr/local/lib/quilmer/wine-prefix.sh
  test -f "$WINEPREFIX/.quilmer-ready"
  # Written out before power-off: the wineserver keeps the registry in memory.
  wineserver -k || true; wineserver -w || true
  "$WINELOADER" --version'

for f in root.img vmlinux initrd.img; do mv "$work/$f" "$cache/$f"; done
echo "$digest" >"$cache/inputs.sha256"
rm -rf --one-file-system "$work"
stage "image ready in $cache"
