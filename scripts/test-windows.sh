#!/usr/bin/env bash
# Builds the Windows programs and tests (scripts/build-windows.sh: i686 and
# x86_64), runs the x86_64 tests under Wine through CTest, headless, then
# the programs end to end under Wine on a private X server
# (scripts/test-windows-end-to-end.sh). Installs Wine (wine64), Xvfb,
# xdotool, ImageMagick, the IPA Gothic font, the locale sources (a Japanese
# locale gives Wine code page 932), and for the installer's run nsis, zip
# and unzip first (set ZX_SKIP_INSTALL=1 to skip). The Wine
# prefix lives in build-win64/wine-prefix and is made on the first run; one
# wineserver serves the whole suite, so each test program starts warm.
# Each test program is two CTest tests (GoogleTest shards), not one per
# case: a Wine process start costs more than most cases.
#   scripts/test-windows.sh [ctest arguments]
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-packages.sh wine64 xvfb xauth xdotool imagemagick fonts-ipafont-gothic locales nsis zip unzip
scripts/build-windows.sh

export WINEPREFIX="$PWD/build-win64/wine-prefix"
export WINESERVER=/usr/lib/wine/wineserver64
scripts/wine-prefix.sh "$WINEPREFIX"
# One server for the whole suite, with Wine's background programs started
# away from CTest's output; it goes when the suite is over.
"$WINESERVER" -k 2>/dev/null || true
"$WINESERVER" -p
timeout 300 scripts/wine-run.sh --prefix "$WINEPREFIX" wineboot </dev/null >/dev/null 2>&1
trap '"$WINESERVER" -k 2>/dev/null || true' EXIT
ctest --test-dir build-win64 --output-on-failure -j2 --timeout 300 "$@"
scripts/test-windows-end-to-end.sh
