#!/usr/bin/env bash
# Installs what building, testing, running and packaging need on Debian 12.
# The package check (CI) also needs lintian, hardening-check (which Debian 12
# ships only in devscripts), gdb, the accessibility bus and pyatspi.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
"$(dirname "$0")/apt-update.sh"
$SUDO apt-get install -y -qq --no-install-recommends \
  g++ cmake ninja-build ccache qt6-base-dev libgtest-dev libgmock-dev \
  xvfb xauth fonts-ipafont-gothic imagemagick dbus-daemon \
  qt6-qpa-plugins qt6-translations-l10n dpkg-dev desktop-file-utils appstream groff-base \
  lintian devscripts gdb at-spi2-core python3-pyatspi >/dev/null
# The Windows build's own needs (the win32-thread mingw-w64 compilers, Wine,
# 32-bit Wine under qemu) are installed by scripts/build-windows.sh and
# scripts/test-windows.sh, not here: the Linux program and its tests need
# none of them.
