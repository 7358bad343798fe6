#!/usr/bin/env bash
# Runs a program of the Windows build under Wine in a private prefix; CTest
# uses it as the emulator of the cross build.
#   scripts/wine-run.sh --prefix build-win64/wine-prefix build-win64/tests/tests_emulator.exe [args]
# Without --prefix the prefix is ZX_WINEPREFIX, else build-win64/wine-prefix.
#
# x86_64 programs run with wine64. An i686 program (ZX_WINE_I386=1) needs
# 32-bit Wine (the i386 package wine32); on a machine that cannot run 32-bit
# code, qemu-i386-static runs that Wine in user emulation (ZX_WINE_QEMU=1),
# about a minute per process start. See README, "Windows".
#
# WINEDLLOVERRIDES makes Wine load the wnaspi32.dll it is given instead of
# its own built-in one, and skips the .NET and HTML engine installs that a
# fresh prefix would otherwise offer.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
prefix="${ZX_WINEPREFIX:-$here/build-win64/wine-prefix}"
if [ "${1:-}" = "--prefix" ]; then prefix="$2"; shift 2; fi
mkdir -p "$prefix"
export WINEPREFIX="$(cd "$prefix" && pwd)"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-wnaspi32=n;mscoree,mshtml=}"
# Nothing of these programs needs a display; without one Wine stays headless.
unset DISPLAY WAYLAND_DISPLAY
loader=()
if [ "${ZX_WINE_I386:-0}" = "1" ]; then
  export WINELOADER="${WINELOADER:-/usr/lib/wine/wine}"
  if [ "${ZX_WINE_QEMU:-0}" = "1" ]; then loader=(qemu-i386-static); fi
else
  export WINELOADER="${WINELOADER:-/usr/lib/wine/wine64}"
fi
loader+=("$WINELOADER")
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
if ! "$WINESERVER" -k0 2>/dev/null; then
  "$WINESERVER" -p30 2>/dev/null || true
  timeout 600 "${loader[@]}" wineboot </dev/null >/dev/null 2>&1 || true
fi
exec "${loader[@]}" "$@"
