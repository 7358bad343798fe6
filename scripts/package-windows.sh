#!/usr/bin/env bash
# The Windows download: for each of build-win32/ and build-win64/,
#   dist/zorvex-flash-<version>-win32.zip / -win64.zip   zorvex-flash.exe,
#       zorvex-flash-cli.exe (the same for a console), README.txt (English
#       and Japanese), LICENSE.txt
#   dist/zorvex-flash-<version>-win32-setup.exe / -win64-setup.exe
#       an NSIS installer (data/windows/installer.nsi) of the same files,
#       the win64 one a 64-bit program.
# The builds are Release builds; the script refuses an executable that still
# has debug sections (the symbols stay beside the build, in .exe.debug).
# The product is packaged as built: bare (it rejects itself at start-up) unless
# the builds were given the drive maker's part images (README, "Building
# with real firmware"). It never carries the demo's synthetic firmware: the
# script refuses an executable whose container is the synthetic one.
# Builds first (scripts/build-windows.sh) unless ZX_SKIP_BUILD=1; installs
# nsis and zip unless ZX_SKIP_INSTALL=1.
# ZX_PACKAGE_ARCHS picks the builds (default "win32 win64"), ZX_DIST_DIR
# the output folder (default dist/).
#   scripts/package-windows.sh
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-packages.sh nsis zip
if [ "${ZX_SKIP_BUILD:-0}" != "1" ]; then
  scripts/build-windows.sh all zorvex-flash zorvex-flash-cli
fi

version=$(sed -n 's/^project(ZorvexFlash VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
dist="${ZX_DIST_DIR:-$PWD/dist}"
mkdir -p "$dist"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A packer for this machine (the container does not care which system's
# executable it follows): the cross builds make one in host/.
packer=build-win64/host/zx-pack
[ -x "$packer" ] || packer=build-win32/host/zx-pack
[ -x "$packer" ] || packer=build/tools/zx-pack
if [ ! -x "$packer" ]; then
  mkdir -p "$work/host"
  c++ -std=c++20 -O1 -DZX_VERSION="\"$version\"" -I. tools/zx_pack.cpp firmware/container_format.cpp \
    firmware/container_file.cpp firmware/container_packer.cpp firmware/container_pack_command.cpp firmware/staged_output.cpp \
    platform/linux/linux_file_sync.cpp platform/linux/linux_read_only_file.cpp \
    platform/linux/linux_removal_on_signal.cpp platform/linux/linux_path_ops.cpp -o "$work/host/zx-pack"
  packer="$work/host/zx-pack"
fi

# Refuses an executable that ends in the demo's synthetic container (for
# whatever version it claims): made-up firmware would ruin a real drive.
check_not_synthetic() {
  local exe="$1" size=634888 claimed
  if ! "$packer" inspect "$exe" >"$work/inspect.txt" 2>&1; then
    echo "$exe: bare (no accepted container); it will say \"Incorrect file\", or \"Target drive is not found.\" without the drive"
    return 0
  fi
  claimed=$(sed -n 's/^carried version: \(....\)$/\1/p' "$work/inspect.txt")
  rm -f "$work/synthetic.bin"
  "$packer" synth --version "$claimed" --container "$work/synthetic.bin" >/dev/null
  tail -c "$size" "$exe" >"$work/tail.bin"
  if cmp -s "$work/tail.bin" "$work/synthetic.bin"; then
    echo "$exe carries the demo's synthetic firmware $claimed; refusing to package it" >&2
    exit 1
  fi
  echo "$exe: carries firmware $claimed"
}

# Refuses an executable with debug sections: what ships is stripped.
check_no_debug_sections() {
  local exe="$1" objdump="$2" sections
  sections=$("$objdump" -h "$exe")
  if grep -q ' \.debug_' <<<"$sections"; then
    echo "$exe has debug sections; build it as Release (scripts/build-windows.sh); refusing to package it" >&2
    exit 1
  fi
}

# Text files for Windows: CRLF line ends, UTF-8 with a byte-order mark so
# that Notepad shows the Japanese half right.
windows_text() {
  printf '\xef\xbb\xbf' >"$2"
  sed -e "s/@VERSION@/$version/g" -e "s/@ARCH@/$3/g" -e 's/$/\r/' "$1" >>"$2"
}

for arch in ${ZX_PACKAGE_ARCHS:-win32 win64}; do
  objdump=i686-w64-mingw32-objdump
  if [ "$arch" = win64 ]; then objdump=x86_64-w64-mingw32-objdump; fi
  stage="$work/zorvex-flash-$version-$arch"
  mkdir -p "$stage"
  for exe in "build-$arch/app/entry/zorvex-flash.exe" "build-$arch/cli/zorvex-flash-cli.exe"; do
    [ -f "$exe" ] || { echo "$exe is missing: build it first (scripts/build-windows.sh)" >&2; exit 1; }
    check_no_debug_sections "$exe" "$objdump"
    check_not_synthetic "$exe"
    cp "$exe" "$stage/"
  done
  windows_text data/windows/README.txt "$stage/README.txt" "$arch"
  windows_text LICENSE "$stage/LICENSE.txt" "$arch"
  # The staged copy is the one packaged: check it again.
  check_not_synthetic "$stage/zorvex-flash.exe" >/dev/null
  check_not_synthetic "$stage/zorvex-flash-cli.exe" >/dev/null
  rm -f "$dist/zorvex-flash-$version-$arch.zip"
  (cd "$work" && zip -q -r "$dist/zorvex-flash-$version-$arch.zip" "zorvex-flash-$version-$arch")
  makensis -V2 -DVERSION="$version" -DARCH="$arch" -DSTAGE="$stage" -DICON="$PWD/data/windows/zorvex-flash.ico" \
    -DOUTFILE="$dist/zorvex-flash-$version-$arch-setup.exe" data/windows/installer.nsi
  echo "made $dist/zorvex-flash-$version-$arch.zip and $dist/zorvex-flash-$version-$arch-setup.exe"
done
