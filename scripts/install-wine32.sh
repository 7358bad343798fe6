#!/usr/bin/env bash
# Makes 32-bit Wine run on a Debian 12 x86_64 machine that cannot run 32-bit
# code itself (these machines and CI): Wine's i386 half (wine32, beside
# wine64) and qemu-i386-static, registered with the kernel's binfmt_misc so
# that every 32-bit executable Wine starts runs under qemu. Needs root (or
# sudo). Safe to run again; quiet unless something fails. ZX_SKIP_INSTALL=1
# skips the packages, never the registration, which the next boot forgets.
# How the programs then run: scripts/wine-run.sh, README "Windows".
#   scripts/install-wine32.sh
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

if [ "${ZX_SKIP_INSTALL:-0}" != "1" ]; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
    "$here/scripts/apt-update.sh"
  fi
  "$here/scripts/install-packages.sh" wine64 wine32:i386 qemu-user-static
fi

binfmt=/proc/sys/fs/binfmt_misc
entry="$binfmt/qemu-i386"
qemu=/usr/bin/qemu-i386-static
# A machine that runs 32-bit code itself needs no emulation.
if [ ! -e "$entry" ] && /usr/lib/wine/wine --version >/dev/null 2>&1; then exit 0; fi
if [ ! -e "$binfmt/register" ]; then
  $SUDO mount -t binfmt_misc binfmt_misc "$binfmt" ||
    { echo "install-wine32: cannot mount binfmt_misc at $binfmt; 32-bit Wine cannot run here" >&2; exit 1; }
fi
if [ ! -e "$entry" ]; then
  [ -x "$qemu" ] || { echo "install-wine32: $qemu is missing (package qemu-user-static)" >&2; exit 1; }
  # 32-bit little-endian x86 ELF executables and shared objects (e_type 2
  # or 3, e_machine 3). F: the kernel opens qemu now, so the entry works in
  # any mount namespace and chroot too.
  printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$qemu"':F' |
    $SUDO tee "$binfmt/register" >/dev/null ||
    { echo "install-wine32: cannot register qemu-i386 with binfmt_misc; 32-bit Wine cannot run here" >&2; exit 1; }
fi
grep -qx enabled "$entry" && grep -qx enabled "$binfmt/status" ||
  { echo "install-wine32: the qemu-i386 entry of binfmt_misc is disabled" >&2; exit 1; }
# The proof: Wine's 32-bit loader answers.
/usr/lib/wine/wine --version >/dev/null 2>&1 ||
  { echo "install-wine32: /usr/lib/wine/wine (32-bit) does not run through qemu-i386" >&2; exit 1; }
