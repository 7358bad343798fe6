#!/usr/bin/env bash
# Configures and builds into build/ (or build-<sanitizer>/ with --sanitize X).
set -euo pipefail
cd "$(dirname "$0")/.."
sanitize=""
if [ "${1:-}" = "--sanitize" ]; then sanitize="$2"; shift 2; fi
dir="build${sanitize:+-$sanitize}"
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZX_SANITIZE="$sanitize" "$@" >/dev/null
ninja -C "$dir"
