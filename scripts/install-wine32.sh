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

# When the mirror's i386 list of the security archive is unusable (caught
# mid-sync for days here), the installed amd64 libraries from that archive
# have no i386 twin of the same version, and Multi-Arch demands one. So take
# the i386 half from the main archive, with the security archive's
# candidates set aside for this one call, and fetch from the security pool,
# by file name, the i386 twin of any installed library newer than the main
# archive has.
install_wine32_around_security() {
  echo "install-wine32: the plain install failed; trying around the security archive's i386 list" >&2
  local tmp pin debs=() out missing p ver src dir url rc=0
  tmp="$(mktemp -d)"
  pin="$tmp/preferences"
  printf 'Package: *\nPin: release n=bookworm-security\nPin-Priority: 50\n' >"$pin"
  # libsystemd0 named for both halves, or the resolver reaches for elogind.
  local want=(wine32:i386 libsystemd0:i386 libsystemd0:amd64)
  local fetched=" "
  for _ in 1 2 3 4 5 6 7 8; do
    out="$(apt-get install -s -o Dir::Etc::Preferences="$pin" -o Debug::pkgProblemResolver=yes \
      "${want[@]}" "${debs[@]}" 2>&1 || true)"
    # Every i386 package the resolver could not place whose amd64 half is
    # installed at a version the main archive does not offer.
    missing=""
    for p in $(printf '%s\n' "$out" | sed -n -e 's/^Broken .* on \([^: ]*\):i386 <.*/\1/p' \
      -e 's/^Broken \([^: ]*\):i386 Breaks on .*/\1/p' | sort -u); do
      ver="$(dpkg-query -W -f='${Version}' "$p:amd64" 2>/dev/null)" || continue
      [ "$ver" != "$(apt-cache -o Dir::Etc::Preferences="$pin" policy "$p:i386" |
        sed -n 's/^ *Candidate: //p')" ] || continue
      case "$fetched" in *" $p "*) continue ;; esac
      missing="$missing $p"
    done
    [ -n "$missing" ] || break
    for p in $missing; do
      ver="$(dpkg-query -W -f='${Version}' "$p:amd64")"
      src="$(dpkg-query -W -f='${source:Package}' "$p:amd64")"
      case "$src" in lib?*) dir="${src:0:4}" ;; *) dir="${src:0:1}" ;; esac
      url="http://deb.debian.org/debian-security/pool/updates/main/$dir/$src/${p}_${ver#*:}_i386.deb"
      echo "install-wine32: fetching $url" >&2
      curl -sSf -o "$tmp/${p}_i386.deb" "$url" ||
        { echo "install-wine32: cannot fetch $url" >&2; rm -rf "$tmp"; return 1; }
      debs+=("$tmp/${p}_i386.deb")
      fetched="$fetched$p "
    done
  done
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends \
    -o Dir::Etc::Preferences="$pin" "${want[@]}" "${debs[@]}" >/dev/null || rc=1
  rm -rf "$tmp"
  return $rc
}

if [ "${ZX_SKIP_INSTALL:-0}" != "1" ]; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
    "$here/scripts/apt-update.sh"
  fi
  "$here/scripts/install-packages.sh" wine64 qemu-user-static
  if ! dpkg -s wine32:i386 >/dev/null 2>&1; then
    "$here/scripts/install-packages.sh" wine32:i386 || install_wine32_around_security
  fi
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
