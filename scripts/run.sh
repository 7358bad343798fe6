#!/usr/bin/env bash
# Installs what is needed, builds, and starts the program: the demo on
# virtual drives (a real drive needs the real firmware build, see README).
# Arguments are passed to the demo, e.g. --language ja or --drives 2; with
# `list` or `flash` among them the command line's demo runs instead (no
# display needed), e.g. `flash --yes --drives 2 --drive 2`.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh --release
for arg in "$@"; do
  case "$arg" in list | flash) exec build-release/cli/zorvex-flash-cli-demo "$@" ;; esac
done
demo=build-release/app/entry/zorvex-flash-demo
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  cat >&2 <<'TXT'
No display found. To watch the window, run the demo from a desktop session:
    build-release/app/entry/zorvex-flash-demo
or on a virtual display, taking a screenshot while it runs:
    xvfb-run -n 99 -s "-ac -screen 0 800x600x24" build-release/app/entry/zorvex-flash-demo &
    sleep 5; DISPLAY=:99 import -window root demo.png
(-ac lets import onto the display without xvfb-run's cookie; -n 99 must
name a free display number.)
Now running one whole demo flash under Xvfb (--auto-flash presses Flash, then
Power Off, which in the demo only prints a line):
TXT
  exec xvfb-run -a -s "-screen 0 800x600x24" "$demo" --auto-flash "$@"
fi
exec "$demo" "$@"
