#!/usr/bin/env bash
# Runs a program of the Windows build under Wine in a private prefix; CTest
# uses it as the emulator of the cross build.
#   scripts/wine-run.sh --prefix build-win64/wine-prefix build-win64/tests/tests_emulator.exe [args]
#   scripts/wine-run.sh --prefix DIR --null-display PROGRAM [args]   (windows without a display)
# Without --prefix the prefix is ZX_WINEPREFIX, else build-win64/wine-prefix.
#
# x86_64 and i686 programs alike start through the 64-bit loader, in a
# 64-bit prefix: for an i686 program it starts 32-bit Wine (the i386 package
# wine32, beside wine64). On a machine that cannot run 32-bit code (these
# machines, CI), scripts/install-wine32.sh registers qemu-i386-static with
# binfmt_misc, and 32-bit Wine then runs in user emulation, about a minute
# per process start. See README, "Windows".
#
# WINEDLLOVERRIDES makes Wine load the wnaspi32.dll it is given instead of
# its own built-in one, and skips the .NET and HTML engine installs that a
# fresh prefix would otherwise offer.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
prefix="${ZX_WINEPREFIX:-$here/build-win64/wine-prefix}"
if [ "${1:-}" = "--prefix" ]; then prefix="$2"; shift 2; fi
null_display=0
if [ "${1:-}" = "--null-display" ]; then null_display=1; shift; fi
mkdir -p "$prefix"
export WINEPREFIX="$(cd "$prefix" && pwd)"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-wnaspi32=n;mscoree,mshtml=}"
# Nothing of these programs needs a display; without one Wine stays headless.
unset DISPLAY WAYLAND_DISPLAY
# qemu must reserve the whole 32-bit address space for 32-bit Wine, which
# otherwise cannot map the shared user data (c0000018). Every 32-bit Wine
# process needs it, from the prefix's creation on: wineboot sets up the
# prefix's 32-bit half with 32-bit programs. Harmless where nothing is
# emulated.
export QEMU_RESERVED_VA="${QEMU_RESERVED_VA:-0xffff0000}"
export WINELOADER="${WINELOADER:-/usr/lib/wine/wine64}"
loader=("$WINELOADER")
# The 64-bit server serves 32-bit programs too (and needs no emulation).
if [ -z "${WINESERVER:-}" ]; then
  WINESERVER=/usr/lib/wine/wineserver64
  if [ ! -x "$WINESERVER" ]; then WINESERVER=/usr/lib/wine/wineserver32; fi
fi
export WINESERVER
# The first program of a new server starts Wine's own background programs,
# which would inherit its output and keep the caller (CTest) waiting for the
# end of it. So, with no server yet: start one that stays 30 s past its last
# program (warm starts for a whole suite) and let a quiet wineboot start the
# background programs.
start_server() {
  "$WINESERVER" -p30 2>/dev/null || true
  timeout 600 "${loader[@]}" wineboot </dev/null >/dev/null 2>&1 || true
}
if ! "$WINESERVER" -k0 2>/dev/null; then start_server; fi
# --null-display (a prefix of its own): windows are made, drawn nowhere,
# without a display; Wine's null driver stands in for one. The desktop takes
# its driver when it starts, so the prefix's server starts again once the
# setting is in (kept in user.reg, written when the server ends).
null_set() { grep -q '^"Graphics"="null"' "$WINEPREFIX/user.reg" 2>/dev/null; }
if [ "$null_display" = 1 ] && ! null_set; then
  (
    flock 9
    if ! null_set; then
      "${loader[@]}" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1
      "$WINESERVER" -k 2>/dev/null || true
      "$WINESERVER" -w 2>/dev/null || true
      start_server
    fi
  ) 9>"$WINEPREFIX.lock"
fi
exec "${loader[@]}" "$@"
