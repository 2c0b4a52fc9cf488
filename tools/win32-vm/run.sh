#!/usr/bin/env bash
# Boots the emulated guest, runs one command in it, prints its output and exits
# with its exit code; the guest powers off when the command ends.
#   tools/win32-vm/run.sh --image <dir> [--share <dir>]... [--wine-prefix]
#                         [--timeout <s>] [--writable] -- <command> [args...]
#   --image        the folder build-image.sh filled
#   --share        a host folder the guest sees at the same path (9p), so absolute
#                  paths written by CMake and ctest hold inside; repeatable
#   --wine-prefix  the test harness uses the image's 32-bit Wine prefix (made once,
#                  at image build) and keeps its off-line copy on the guest's disk,
#                  not in the shared build folder
#   --timeout      power the guest off after this many seconds (default 3600)
#   --writable     boot root.img itself rather than a throw-away overlay
# The command runs as root in the folder the caller is in, when that folder is
# shared. The guest has no network device: loopback and a dummy interface that
# drops everything are all it has.
set -euo pipefail
image= writable= timeout=3600 prefix_into=
shares=()
while [ $# -gt 0 ]; do
  case "$1" in
    --image) image=$(cd "$2" && pwd); shift 2 ;;
    --share) shares+=("$(cd "$2" && pwd)"); shift 2 ;;
    --wine-prefix) prefix_into=1; shift ;;
    --timeout) timeout=$2; shift 2 ;;
    --writable) writable=1; shift ;;
    --) shift; break ;;
    *) echo "run.sh: unknown option $1" >&2; exit 2 ;;
  esac
done
[ $# -gt 0 ] || { echo "run.sh: no command given" >&2; exit 2; }
[ -n "$image" ] && [ -s "$image/root.img" ] && [ -s "$image/vmlinux" ] || {
  echo "run.sh: no guest image in '${image}' (tools/win32-vm/build-image.sh makes one)" >&2; exit 2; }

tmp=$(mktemp -d)
qout="$tmp/qout"; mkdir "$qout"
qemu=
cleanup() {
  [ -n "$qemu" ] && kill "$qemu" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

virtfs=(-virtfs "local,path=$qout,mount_tag=qout,security_model=none,multidevs=remap")
: >"$qout/shares"
for i in "${!shares[@]}"; do
  case "${shares[i]}" in *[,[:space:]]*) echo "run.sh: cannot share '${shares[i]}' (comma or white space)" >&2; exit 2 ;; esac
  virtfs+=(-virtfs "local,path=${shares[i]},mount_tag=q$i,security_model=none,multidevs=remap")
  echo "q$i ${shares[i]}" >>"$qout/shares"
done

{
  echo 'set -e'
  # Wine calls a machine connected when an interface other than loopback is up and
  # has a gateway. A dummy interface is that, and drops whatever is sent to it: the
  # guest looks like a connected machine, and nothing can leave it.
  echo 'modprobe dummy && ip link add quilmer0 type dummy && ip addr add 192.0.2.1/24 dev quilmer0'
  echo 'ip link set quilmer0 up && ip route add default via 192.0.2.254 dev quilmer0'
  if [ -n "$prefix_into" ]; then
    echo 'export QUILMER_WINEPREFIX=/var/lib/quilmer-wine/wineprefix'
    echo 'export QUILMER_WINEPREFIX_OFFLINE=/var/lib/quilmer-wine/wineprefix-offline'
  fi
  cwd=/
  for s in "${shares[@]}"; do
    case "$PWD/" in "$s"/*) cwd=$PWD ;; esac
  done
  printf 'cd %q\n' "$cwd"
  echo 'set +e'
  # The guest's clock since boot, at the command's start and end, for the figures.
  echo 'read -r up _ </proc/uptime; echo "$up" >/run/qout/started'
  printf '%q ' "$@"; echo
  echo 'rc=$?; read -r up _ </proc/uptime; echo "$up" >/run/qout/ended; exit $rc'
} >"$qout/job.sh"

if [ -n "$writable" ]; then
  disk=(-drive "file=$image/root.img,if=virtio,format=raw,cache=writeback")
else
  qemu-img create -q -f qcow2 -b "$image/root.img" -F raw "$tmp/overlay.qcow2"
  disk=(-drive "file=$tmp/overlay.qcow2,if=virtio,format=qcow2,cache=unsafe")
fi
# Emulation (TCG) with SMAP off: QEMU 7.2's TCG emulates an iret from 32-bit user
# code with kernel-privilege stack reads, and the guest kernel then kills the process.
timeout --foreground "$timeout" qemu-system-x86_64 -accel tcg,thread=multi -cpu max,la57=off,smap=off \
  -smp 2 -m 3072 -M pc \
  -nodefaults -display none -no-reboot -nic none -monitor none -serial "file:$tmp/console.log" \
  -kernel "$image/vmlinux" -initrd "$image/initrd.img" \
  -append "root=/dev/vda rw console=ttyS0 init=/sbin/quilmer-init quiet panic=-1" \
  "${disk[@]}" "${virtfs[@]}" </dev/null >"$tmp/qemu.log" 2>&1 &
qemu=$!
# The command's output as it comes; tail ends once the guest has powered off.
tail -n +1 -F --pid="$qemu" "$qout/output" 2>/dev/null &
tailer=$!
started=$SECONDS
set +e
wait "$qemu"; qrc=$?
qemu=
wait "$tailer"
set -e
if [ -s "$qout/started" ] && [ -s "$qout/ended" ]; then
  awk -v s="$(cat "$qout/started")" -v e="$(cat "$qout/ended")" -v t=$((SECONDS - started)) \
    'BEGIN { printf "win32 guest: boot %.1f s, command %.1f s, in all %d s\n", s, e - s, t }' >&2
fi
if [ -s "$qout/rc" ]; then
  exit "$(cat "$qout/rc")"
fi
echo "run.sh: the guest ended without the command's exit code (qemu: $qrc$([ "$qrc" = 124 ] && echo ", timed out after $timeout s"))" >&2
tail -n 30 "$tmp/qemu.log" "$tmp/console.log" >&2 2>/dev/null
[ "$qrc" = 124 ] && exit 124
exit 125
