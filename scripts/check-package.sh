#!/usr/bin/env bash
# The package check, as a packager meets the project: a Release build without
# the tests, carrying test firmware that zx-pack itself makes, installed with
# --strip, packed into a .deb with CPack and extracted again. The installed
# zorvex-flash must still carry an accepted firmware container, the demo must
# run a whole flash from its installed place (its virtual ASPI library
# included), and the desktop file, the AppStream metainfo and the man pages
# must validate.
#   scripts/check-package.sh        (ZX_SKIP_INSTALL=1 skips apt-get)
set -euo pipefail
cd "$(dirname "$0")/.."
start=$(date +%s)
if [ "${ZX_SKIP_INSTALL:-0}" != "1" ]; then scripts/install-deps.sh; fi

dir=build-package
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "check-package: $*" >&2; exit 1; }

cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
ninja -C "$dir" zx-pack >/dev/null
# Test firmware only: made-up bytes that must never reach a real drive.
mkdir -p "$dir/test-firmware"
"$dir/tools/zx-pack" synth --version 9.0T --part1 "$dir/test-firmware/part1.bin" \
  --part2 "$dir/test-firmware/part2.bin" >/dev/null
cmake -S . -B "$dir" -DZX_FIRMWARE_PART1="$PWD/$dir/test-firmware/part1.bin" \
  -DZX_FIRMWARE_PART2="$PWD/$dir/test-firmware/part2.bin" >/dev/null
ninja -C "$dir" >/dev/null
version=$("$dir/tools/zx-pack" --version | cut -d' ' -f2)

# Installed with --strip: the product must come through whole and accepted.
DESTDIR="$work/stage" cmake --install "$dir" --strip >/dev/null
cmp -s "$dir/app/entry/zorvex-flash" "$work/stage/usr/bin/zorvex-flash" ||
  fail "cmake --install --strip changed the product binary"
"$dir/tools/zx-pack" inspect "$work/stage/usr/bin/zorvex-flash" >/dev/null ||
  fail "the installed product's container is not accepted"
# Stripped before packing, with the symbols kept beside the build's copy.
readelf -S --wide "$dir/app/entry/zorvex-flash" | grep -q ' \.symtab ' && fail "the product was not stripped"
readelf -S --wide "$dir/app/entry/zorvex-flash" | grep -q ' \.gnu_debuglink ' || fail "the product has no debug link"
[ -s "$dir/app/entry/zorvex-flash.debug" ] || fail "the product's debug file is missing"

# The Debian package, named with the version.
(cd "$dir" && cpack -G DEB >/dev/null)
deb="$dir/zorvex-flash_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "no package $deb"
depends=$(dpkg-deb -f "$deb" Depends)
for needed in qt6-qpa-plugins fonts-ipafont-gothic libqt6widgets6; do
  case "$depends" in *"$needed"*) ;; *) fail "the package does not depend on $needed: $depends" ;; esac
done
apt-get install --simulate -qq "./$deb" >/dev/null || fail "the package would not install"

root="$work/deb"
dpkg-deb -x "$deb" "$root"
inspection=$("$root/usr/bin/zx-pack" inspect "$root/usr/bin/zorvex-flash") ||
  fail "the packaged product's container is not accepted"
grep -q '^carried version: 9.0T$' <<<"$inspection" || fail "the packaged product carries another firmware"
"$root/usr/bin/zx-pack" --version | grep -qx "zx-pack $version" || fail "zx-pack --version"

id=org.zorvexflash.FlashUtility
desktop-file-validate "$root/usr/share/applications/$id.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml" >/dev/null ||
  appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml"
grep -q "<release version=\"$version\"" "$root/usr/share/metainfo/$id.metainfo.xml" ||
  fail "the metainfo's releases do not name version $version"
[ -f "$root/usr/share/icons/hicolor/scalable/apps/$id.svg" ] || fail "no icon"
for page in zorvex-flash zorvex-flash-demo zx-pack; do
  file="$root/usr/share/man/man1/$page.1"
  [ -f "$file" ] || fail "no man page $page"
  warnings=$(groff -man -ww -z -Tutf8 "$file" 2>&1)
  [ -z "$warnings" ] || fail "man page $page: $warnings"
done
for doc in README.md LICENSE; do
  [ -f "$root/usr/share/doc/zorvex-flash/$doc" ] || fail "no $doc in share/doc"
done

# The demo from its installed place, on the library family, whose virtual
# library must come from the package and not from the build folder.
export QT_QPA_PLATFORM=offscreen
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then export XDG_RUNTIME_DIR="$work/runtime"; mkdir -m 700 -p "$XDG_RUNTIME_DIR"; fi
"$root/usr/bin/zorvex-flash-demo" --version | grep -qx "zorvex-flash-demo $version" || fail "demo --version"
LD_DEBUG=files "$root/usr/bin/zorvex-flash-demo" --family 9x --language en --latency-scale 0 --auto-flash \
  >"$work/demo.out" 2>"$work/demo.err" || { cat "$work/demo.out" "$work/demo.err" >&2; fail "the installed demo's run failed"; }
grep -q 'the run succeeded' "$work/demo.out" || fail "the installed demo did not flash"
grep 'file=.*wnaspi32.dll.*generating link map' "$work/demo.err" | grep -q "file=$root/usr/" ||
  fail "the installed demo did not load its installed virtual ASPI library"

echo "check-package: $deb passed in $(( $(date +%s) - start )) s"
