#!/usr/bin/env bash
# Configures and builds:
#   scripts/build.sh                  everything, in build/
#   scripts/build.sh --sanitize X     everything under sanitizer X, in build-X/
#   scripts/build.sh --core           the layers below the window alone, without
#                                     Qt (it is not even looked for), in build-core/
#   scripts/build.sh --release        a Release build without the tests, in build-release/
# Further arguments go to cmake's configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
dir="build"
type="Debug"
options=()
case "${1:-}" in
  --sanitize) dir="build-$2"; options=(-DZX_SANITIZE="$2"); shift 2 ;;
  --core) dir="build-core"; options=(-DZX_WITH_WINDOW=OFF); shift ;;
  --release) dir="build-release"; type="Release"; options=(-DBUILD_TESTING=OFF); shift ;;
esac
# The core build compiles much of what the plain build does with the same
# flags; ccache lets the second one take it from the first. Only if the
# build folder is left out of what it compares: a debug build's objects
# name the folder they were compiled in, which only a debugger reads, and
# the sources are named by absolute path anyway.
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache); fi
export CCACHE_NOHASHDIR=true
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" "${launcher[@]}" "${options[@]}" "$@" >/dev/null
ninja -C "$dir"
