#!/usr/bin/env bash
# The real product against the real Linux kernel: Debian's own kernel (the
# current linux-image-amd64, downloaded and unpacked, never installed) boots
# under qemu with a small busybox initramfs; the virtual drive
# (zorvex-usb-drive) serves USB mass storage on the kernel's dummy USB
# controller, so usb-storage, the SCSI midlayer and sg carry every command
# of the program, which runs from the host's own tree (shared read-only) and
# is driven by the product tests' autopilot. Each case prints a verdict line;
# the script fails when any case fails or gives no verdict.
#   scripts/test-real-kernel.sh     (after scripts/build.sh; work files in build-kernel/)
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
build=$repo/${ZX_BUILD_DIR:-build}
work=$repo/build-kernel
out=$work/out
scripts/install-packages.sh qemu-system-x86 busybox-static kmod cpio xz-utils sg3-utils
cases=${ZX_CASES:-whole_flash stops time_out unplug kernel_traffic}
mkdir -p "$work"
rm -rf "$out" && mkdir -p "$out"

say() { echo "test-real-kernel: $*"; }
fail() { say "FAILED: $*"; exit 1; }

# The kernel: the package linux-image-amd64 names today, once per version.
version=$(apt-cache depends linux-image-amd64 2>/dev/null | sed -n 's/.*Depends: linux-image-\([^ ]*-amd64\)$/\1/p' | head -1)
if [ -z "$version" ]; then scripts/apt-update.sh; version=$(apt-cache depends linux-image-amd64 | sed -n 's/.*Depends: linux-image-\([^ ]*-amd64\)$/\1/p' | head -1); fi
[ -n "$version" ] || fail "no linux-image-amd64 in the package lists"
kernel=$work/kernel-$version
if [ ! -f "$kernel/vmlinux" ]; then
  rm -rf "$kernel" && mkdir -p "$kernel"
  (cd "$kernel" && apt-get download "linux-image-$version" >/dev/null 2>&1) || fail "cannot download linux-image-$version"
  dpkg-deb -x "$kernel"/linux-image-*.deb "$kernel/root"
  # The ELF kernel boots in half the time of the compressed image under TCG.
  image=$kernel/root/boot/vmlinuz-$version
  offset=$(LC_ALL=C grep -obUaP '\xfd7zXZ\x00' "$image" | head -1 | cut -d: -f1)
  tail -c +$((offset + 1)) "$image" | xz -dc --single-stream > "$kernel/vmlinux.part" 2>/dev/null || true
  [ "$(head -c 4 "$kernel/vmlinux.part" | od -An -c | tr -d ' ')" = "177ELF" ] || fail "no ELF kernel in $image"
  mv "$kernel/vmlinux.part" "$kernel/vmlinux"
  depmod -b "$kernel/root" "$version"
fi

# The initramfs: busybox, the modules in load order, the init.
initrd=$work/initramfs-$version.cpio.gz
if [ ! -f "$initrd" ] || [ scripts/real-kernel/init.sh -nt "$initrd" ]; then
  staging=$work/initramfs && rm -rf "$staging" && mkdir -p "$staging"/{bin,proc,sys,dev,host,lib/modules}
  cp /bin/busybox "$staging/bin/busybox"
  cp scripts/real-kernel/init.sh "$staging/init"
  : > "$staging/modules"
  for module in virtio_pci 9pnet_virtio 9p configfs dummy_hcd usb_f_fs usb-storage sg sr_mod; do
    modprobe -d "$kernel/root" -S "$version" --show-depends "$module" | awk '{print $2}'
  done | awk '!seen[$0]++' | while read -r path; do
    cp "$path" "$staging/lib/modules/"
    echo "/lib/modules/$(basename "$path")" >> "$staging/modules"
  done
  (cd "$staging" && find . | cpio -o -H newc --quiet | gzip -1) > "$initrd"
fi

# What the guest runs: the product and the demo carrying the same container.
"$build/tools/zx-pack" pack --exe "$build/app/entry/zorvex-flash" --output "$out/zorvex-flash" --synthetic 1.0B >/dev/null
"$build/tools/zx-pack" pack --exe "$build/app/entry/zorvex-flash-demo.bare" --output "$out/zorvex-flash-demo" \
  --synthetic 1.0B >/dev/null
# The reference: the Linux demo's command log of the same run.
QT_QPA_PLATFORM=offscreen LANG=C XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)} \
  "$out/zorvex-flash-demo" --auto-flash --latency-scale 0 --command-log "$out/demo.log" > "$out/demo.out" 2>&1 ||
  fail "the demo's reference run failed: $(tail -3 "$out/demo.out")"
cc -O2 -o "$out/sg_command_loop" scripts/real-kernel/sg_command_loop.c
cat > "$out/guest.env" <<ENV
ZX_REPO=$repo
ZX_BUILD=$build
ZX_STANDIN=$build/tests/libzx_sg_standin.so
ZX_CASES="$cases"
ENV

say "booting linux $version"
start=$SECONDS
# A bound for a guest that hangs, far above a normal run (about 4 minutes).
timeout 1800 qemu-system-x86_64 -accel tcg,tb-size=64 -m 384 -smp 1 -nographic -no-reboot -nic none \
  -kernel "$kernel/vmlinux" -initrd "$initrd" \
  -append "console=ttyS0 quiet panic=-1 ZX_OUT=$out" \
  -virtfs local,path=/,mount_tag=host,security_model=none,readonly=on,multidevs=remap \
  -virtfs local,path="$out",mount_tag=out,security_model=none \
  < /dev/null > "$out/console.log" 2>&1 || true
say "the machine ran $((SECONDS - start)) s"

# Every case must have said pass.
verdicts=$out/verdicts
touch "$verdicts"
missing=0
for name in $cases; do
  grep -q "^CASE ${name//_/-}: " "$verdicts" || { echo "CASE ${name//_/-}: FAIL (no verdict: the guest stopped)" >> "$verdicts"; missing=1; }
done
cat "$verdicts"
if [ "$missing" = 1 ] || grep -q ": FAIL" "$verdicts"; then
  tail -n 20 "$out/console.log" "$out/cases.out"
  fail "see $out"
fi
say "every case passed"
