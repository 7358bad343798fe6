#!/usr/bin/env bash
# Configures and builds:
#   scripts/build.sh                  everything, in build/
#   scripts/build.sh --sanitize X     everything under sanitizer X, in build-X/
#   scripts/build.sh --core           the layers below the window alone, without
#                                     Qt (it is not even looked for), in build-core/
set -euo pipefail
cd "$(dirname "$0")/.."
dir="build"
options=()
case "${1:-}" in
  --sanitize) dir="build-$2"; options=(-DZX_SANITIZE="$2"); shift 2 ;;
  --core) dir="build-core"; options=(-DZX_WITH_WINDOW=OFF); shift ;;
esac
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug "${options[@]}" "$@" >/dev/null
ninja -C "$dir"
