#!/bin/busybox sh
# The guest's init (scripts/test-real-kernel.sh): loads the modules, mounts
# the host's tree read-only at /host with the guest's own /dev, /proc, /sys
# and scratch folders, and runs the cases there; then powers off.
# ZX_OUT (from the kernel's command line) is the host folder the results go to.
/bin/busybox --install -s /bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
while read -r module; do
  case "$module" in
    */usb-storage.ko) insmod "$module" delay_use=0 ;;
    *) insmod "$module" ;;
  esac
done < /modules
mount -t 9p -o trans=virtio,version=9p2000.L,ro,msize=262144,cache=loose host /host
mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144 out "/host$ZX_OUT"
mount -t proc proc /host/proc
mount -t sysfs sys /host/sys
mount -t configfs configfs /host/sys/kernel/config
mount -t devtmpfs dev /host/dev
mount -t tmpfs tmp /host/tmp
mount -t tmpfs run /host/run
chroot /host /bin/bash "$(cat "/host$ZX_OUT/guest.env" | sed -n 's/^ZX_REPO=//p')/scripts/real-kernel/cases.sh" \
  "$ZX_OUT" > "/host$ZX_OUT/cases.out" 2>&1
sync
poweroff -f
