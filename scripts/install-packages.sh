#!/usr/bin/env bash
# Installs the Debian packages named that are not installed yet; does nothing
# when all are, or when ZX_SKIP_INSTALL=1.
#   scripts/install-packages.sh PACKAGE...
set -euo pipefail
if [ "${ZX_SKIP_INSTALL:-0}" = "1" ] || dpkg -s "$@" >/dev/null 2>&1; then exit 0; fi
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
"$(dirname "$0")/apt-update.sh"
$SUDO apt-get install -y -qq --no-install-recommends "$@" >/dev/null
