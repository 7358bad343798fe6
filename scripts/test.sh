#!/usr/bin/env bash
# Installs what is needed, builds and runs every test.
#   scripts/test.sh                      plain build in build/
#   scripts/test.sh --sanitize address   AddressSanitizer + UndefinedBehaviorSanitizer
#   scripts/test.sh --sanitize thread    ThreadSanitizer
#   scripts/test.sh --core               the layers below the window, built without Qt
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${ZX_SKIP_INSTALL:-0}" != "1" ]; then scripts/install-deps.sh; fi
scripts/build.sh "$@"
case "${1:-}" in
  --sanitize) dir="build-$2" ;;
  --core) dir="build-core" ;;
  *) dir="build" ;;
esac
export QT_QPA_PLATFORM=offscreen
# Qt wants a private runtime folder; a CI machine has no login session.
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then export XDG_RUNTIME_DIR="$(mktemp -d)"; fi
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan.supp"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp"
# Under the sanitizers, not the minute of stops past the wait: its code
# paths are the short stop cases', which run there; the plain build runs it.
# Under ThreadSanitizer not the programs on an X server either, which it
# is told to report nothing of (tests/support/window/x_server.h).
skip=()
case "${1:-} ${2:-}" in
  "--sanitize address") skip=(-E 'LongStopsPastTheWait') ;;
  "--sanitize thread") skip=(-E 'LongStopsPastTheWait|OnX|DisplayFate') ;;
esac
ctest --test-dir "$dir" --output-on-failure -j2 --timeout 300 "${skip[@]}"
