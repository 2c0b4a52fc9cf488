#!/bin/bash
# The guest's init (PID 1). Mounts what a session needs, runs the job the host left
# in the shared folder "qout", writes its exit code beside it and powers off.
#
# The host's folder qout holds:
#   shares   one "TAG PATH" line per host folder, mounted at the same PATH here
#   job.sh   the command, run by bash with no terminal (Wine writes escape codes to one)
# and receives:
#   output   the command's standard output and error
#   rc       its exit code, written once it has ended
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8

# The initramfs has mounted the first three already.
mountpoint -q /proc || mount -t proc proc /proc
mountpoint -q /sys || mount -t sysfs sys /sys
mountpoint -q /dev || mount -t devtmpfs dev /dev
mkdir -p /dev/pts /dev/shm
mount -t devpts devpts /dev/pts
mount -t tmpfs tmpfs /dev/shm
mount -t tmpfs tmpfs /tmp
mount -t tmpfs tmpfs /run
ip link set lo up
hostname win32-guest

# Where no poweroff exists, the kernel's own request; QEMU runs with -no-reboot, so
# even the panic of an init that ends stops the guest.
power_off() {
  poweroff -f 2>/dev/null || echo o >/proc/sysrq-trigger
  sleep 10
  exit 1
}

# cache=loose: without the guest's page cache, a 32-bit program that Wine loads from
# a 9p folder crashes on its first instructions (a part of its code reads as zeros).
# The host leaves the shared folders alone while the guest runs, so nothing goes stale.
ninep=trans=virtio,version=9p2000.L,msize=524288,cache=loose
modprobe -a 9pnet_virtio 9p
mkdir -p /run/qout
if ! mount -t 9p -o "$ninep" qout /run/qout; then
  echo "quilmer-init: the host's folder qout is missing" >/dev/console
  power_off
fi

# Outer folders first, so a build folder inside the source folder is mounted on top.
sort -k2 /run/qout/shares | while read -r tag path; do
  mkdir -p "$path" && mount -t 9p -o "$ninep" "$tag" "$path" \
    || echo "quilmer-init: cannot mount $tag at $path" >/dev/console
done

bash /run/qout/job.sh </dev/null >/run/qout/output 2>&1 &
job=$!
# Wait for the job alone: Wine's background services keep its output file open.
wait "$job"
echo $? >/run/qout/rc.tmp && mv /run/qout/rc.tmp /run/qout/rc
sync
umount -a -t 9p 2>/dev/null
power_off
