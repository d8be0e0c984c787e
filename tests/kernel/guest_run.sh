#!/usr/bin/env bash
# Runs one command on Debian's own kernel in a QEMU guest and exits with the
# command's exit status. The guest sees this machine's root file system
# read-only (virtio-9p), a fresh tmpfs on /tmp (with the folders of the
# host's /tmp that the job needs bound into it), and a second share at
# /tmp/results where it leaves the status; so it runs the binaries just
# built, with the kernel's real drivers behind /dev/snd and /dev/video*.
#
# Usage: guest_run.sh WORK_DIR MODULES COMMAND...
#   WORK_DIR  a directory of the build tree for the initramfs and the results
#   MODULES   kernel modules to load first, comma-separated (modprobe names)
# Exit status: the command's; 125 when no guest could be booted at all.
set -euo pipefail

work=${1:?work directory}
modules=${2?modules}
shift 2
(($#)) || { echo "guest_run: no command" >&2; exit 2; }

fail() {
  echo "guest_run: $*" >&2
  exit 125
}

qemu=$(command -v qemu-system-x86_64) || fail "qemu-system-x86_64 is not installed (scripts/setup installs qemu-system-x86)"
busybox=$(command -v busybox) || fail "busybox is not installed (scripts/setup installs busybox-static)"
command -v cpio >/dev/null || fail "cpio is not installed"

# The newest installed kernel whose modules are here too.
kernel=""
for image in $(ls -1v /boot/vmlinuz-* 2>/dev/null | tac); do
  version=${image#/boot/vmlinuz-}
  [[ -r $image && -f /lib/modules/$version/modules.dep ]] && kernel=$image && break
done
[[ -n $kernel ]] || fail "no readable /boot/vmlinuz-* with its /lib/modules (scripts/setup installs linux-image-amd64)"
moddir=/lib/modules/$version

work=$(mkdir -p "$work" && cd "$work" && pwd)

# The initramfs: busybox, the modules that reach the shares, and /init.
# Built once per kernel version.
initramfs=$work/initramfs-$version-$(sha1sum <"$0" | cut -c1-8).cpio.gz
if [[ ! -s $initramfs ]]; then
  tree=$(mktemp -d "$work/initramfs.XXXXXX")
  trap 'rm -rf "$tree"' EXIT
  mkdir -p "$tree"/{bin,dev,proc,sys,mnt/root,modules}
  cp "$busybox" "$tree/bin/busybox"
  ln -s busybox "$tree/bin/sh"
  # modprobe names each module after the ones it needs (builtin ones need nothing).
  deps=$(PATH=$PATH:/usr/sbin:/sbin modprobe -a -S "$version" --show-depends virtio_pci 9pnet_virtio 9p) ||
    fail "virtio_pci, 9pnet_virtio or 9p is not in $moddir"
  : >"$tree/modules/order"
  while read -r verb path _; do
    name=$(basename "${path%%.ko*}").ko
    [[ $verb == insmod && ! -e $tree/modules/$name ]] || continue
    case "$path" in
      *.xz) xz -dc "$path" >"$tree/modules/$name" ;;
      *.zst) zstd -qdc "$path" >"$tree/modules/$name" ;;
      *) cp "$path" "$tree/modules/$name" ;;
    esac
    echo "$name" >>"$tree/modules/order"
  done <<<"$deps"
  cat >"$tree/init" <<'EOF'
#!/bin/sh
export PATH=/bin
busybox mount -t proc proc /proc
busybox mount -t sysfs sys /sys
busybox mount -t devtmpfs dev /dev
for module in $(busybox cat /modules/order); do busybox insmod /modules/$module; done
root=/mnt/root
opts=trans=virtio,version=9p2000.L,msize=512000,cache=loose
if busybox mount -t 9p -o ro,$opts hostroot $root; then
  busybox mount -t proc proc $root/proc
  busybox mount -t sysfs sys $root/sys
  busybox mount -t devtmpfs dev $root/dev
  # What a booted system has besides the device nodes: bash's process
  # substitution needs /dev/fd, POSIX shared memory /dev/shm.
  busybox ln -sf /proc/self/fd $root/dev/fd
  busybox mkdir -p $root/dev/shm
  busybox mount -t tmpfs -o mode=1777 shm $root/dev/shm
  busybox mkdir -p /mnt/hosttmp /mnt/results
  busybox mount -o bind $root/tmp /mnt/hosttmp
  busybox mount -t 9p -o $opts results /mnt/results
  busybox mount -t tmpfs -o mode=1777 tmp $root/tmp
  # The host's folders under /tmp that the job needs (a checkout there, say)
  # come back through the fresh tmpfs.
  for dir in $(busybox cat /mnt/results/binds); do
    busybox mkdir -p $root$dir
    busybox mount -o bind /mnt/hosttmp${dir#/tmp} $root$dir
  done
  busybox mkdir -p $root/tmp/results
  busybox mount -o bind /mnt/results $root/tmp/results
  busybox chroot $root /bin/sh /tmp/results/job </dev/console >/dev/console 2>&1
  echo $? >$root/tmp/results/status
  busybox umount $root/tmp/results
else
  echo "guest_run: the host's root file system could not be mounted" >/dev/console
fi
busybox sync
busybox poweroff -f
EOF
  chmod +x "$tree/init"
  (cd "$tree" && find . | cpio -o -H newc --quiet | gzip -1) >"$initramfs.tmp"
  mv "$initramfs.tmp" "$initramfs"
  rm -rf "$tree"
  trap - EXIT
fi

# The job the guest runs, in the results share with what it leaves behind.
results=$(mktemp -d "$work/results.XXXXXX")
trap 'rm -rf "$results"' EXIT
{
  echo "export PATH=/usr/local/bin:/usr/bin:/bin:/usr/local/sbin:/usr/sbin:/sbin HOME=/tmp"
  printf 'cd %q\n' "$PWD"
  for module in ${modules//,/ }; do
    printf 'modprobe %q || exit 124\n' "$module"
  done
  printf '%q ' "$@"
  echo
} >"$results/job"
# The guest's /tmp is a tmpfs of its own: folders of the host's /tmp that the
# job uses (the source and build trees, the programs) are bound into it.
for dir in "$(cd "$(dirname "$0")/../.." && pwd)" "$PWD" "$@"; do
  [[ $dir == /* && -e $dir ]] || continue
  [[ -d $dir ]] || dir=$(dirname "$dir")
  if [[ $dir == /tmp/* ]]; then echo "$dir"; fi
done | sort -u >"$results/binds"

# KVM only where the processor offers virtualisation; TCG everywhere else
# (a stock kernel does not boot on a /dev/kvm without vmx or svm). TCG's
# processor has no AVX or FMA: QEMU emulates those so slowly that the hand
# tracker (XNNPACK) takes over a minute a picture with them, some seconds
# with the SSE code it picks without them.
accel=(-accel tcg -cpu Nehalem)
if [[ -r /dev/kvm && -w /dev/kvm ]] && grep -qE '\b(vmx|svm)\b' /proc/cpuinfo; then
  accel=(-accel kvm -cpu host)
fi

set +e
"$qemu" "${accel[@]}" -smp 2 -m 1024 -nodefaults -no-reboot -display none \
  -serial stdio -monitor none \
  -kernel "$kernel" -initrd "$initramfs" \
  -append "console=ttyS0 quiet loglevel=3 panic=-1 rdinit=/init" \
  -virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap \
  -virtfs local,path="$results",mount_tag=results,security_model=none,multidevs=remap </dev/null
qemu_status=$?
set -e

[[ -s $results/status ]] || fail "the guest left no exit status (QEMU exited with $qemu_status)"
status=$(<"$results/status")
((status == 124)) && fail "a kernel module (${modules}) could not be loaded in the guest"
exit "$status"
