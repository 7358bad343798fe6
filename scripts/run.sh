#!/usr/bin/env bash
# Installs what is needed, builds, and starts the program: the demo on
# virtual drives (a real drive needs the real firmware build, see README).
# Arguments are passed to the demo, e.g. --language ja or --drives 2.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting the demo under Xvfb (xvfb-run). To watch it, run it from a desktop session." >&2
  exec xvfb-run -a -s "-screen 0 1024x768x24" build/app/entry/zorvex-flash-demo "$@"
fi
exec build/app/entry/zorvex-flash-demo "$@"
