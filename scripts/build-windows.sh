#!/usr/bin/env bash
# Cross-builds the Windows programs and their tests with mingw-w64, statically
# linked, without Qt (the window on the toolkit's Win32 back-end):
#   build-win32/  i686, the 32-bit programs, and the test programs its runs
#                 under 32-bit Wine take (README; others by name)
#   build-win64/  x86_64, the build whose tests run under Wine
# Both are Release builds, as shipped: optimised, each executable stripped
# with its symbols kept in <name>.exe.debug beside it (found by debuggers
# through the debug link); ZX_WINDOWS_BUILD_TYPE=Debug gives debug builds.
# Installs what it needs first (set ZX_SKIP_INSTALL=1 to skip).
#   scripts/build-windows.sh                 both builds, every target
#   scripts/build-windows.sh win64 [TARGET]  one build, chosen targets
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-packages.sh g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32 googletest cmake ninja-build

launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache); fi

type="${ZX_WINDOWS_BUILD_TYPE:-Release}"
strip=ON
if [ "$type" = "Debug" ]; then strip=OFF; fi

build() {
  local name="$1" triplet="$2" toolchain=() tests=""
  shift 2
  # Of the i686 tests only these run (scripts/test-windows-i686.sh); the
  # others are built by name (ninja -C build-win32 tests_drive).
  if [ "$name" = win32 ]; then tests="tests_platform;tests_transport"; fi
  # The toolchain file counts only when the folder is first configured;
  # given again, CMake warns that it went unused.
  if [ ! -f "build-$name/CMakeCache.txt" ]; then
    toolchain=(-DCMAKE_TOOLCHAIN_FILE="cmake/toolchain-$triplet.cmake")
  fi
  cmake -S . -B "build-$name" -G Ninja -DCMAKE_BUILD_TYPE="$type" -DZX_STRIP_BARE="$strip" \
    "${toolchain[@]}" -DZX_WITH_WINDOW=ON -DZX_TEST_PROGRAMS="$tests" "${launcher[@]}" >/dev/null
  ninja -C "build-$name" "$@"
}

which="${1:-all}"
if [ $# -gt 0 ]; then shift; fi
case "$which" in
  all)
    build win32 i686-w64-mingw32 "$@"
    build win64 x86_64-w64-mingw32 "$@"
    ;;
  win32) build win32 i686-w64-mingw32 "$@" ;;
  win64) build win64 x86_64-w64-mingw32 "$@" ;;
  *) echo "usage: $0 [all|win32|win64] [ninja target...]" >&2; exit 2 ;;
esac
