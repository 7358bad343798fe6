#!/usr/bin/env bash
# The package check, as a packager meets the project: a Release build without
# the tests, carrying test firmware that zx-pack itself makes, installed with
# --strip, packed into a .deb with CPack and extracted again. The installed
# zorvex-flash must still carry an accepted firmware container, the demo must
# run a whole flash from its installed place (its virtual ASPI library
# included), and the desktop file, the AppStream metainfo and the man pages
# must validate. lintian and hardening-check judge the package, gdb must find
# the product's symbols through the -dbgsym package, a screen reader's view of
# the window is checked (scripts/check-accessibility.sh), the optimised,
# fortified product runs a flash in front of the stand-in sg driver (with the
# plain build's test program, when scripts/test.sh has made it), and a second build
# in another folder must give byte-identical packages.
#   scripts/check-package.sh        (ZX_SKIP_INSTALL=1 skips apt-get)
set -euo pipefail
cd "$(dirname "$0")/.."
start=$(date +%s)
if [ "${ZX_SKIP_INSTALL:-0}" != "1" ]; then scripts/install-deps.sh; fi

dir=build-package
again=build-package-again  # the second build: another folder at the same depth
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "check-package: $*" >&2; exit 1; }
# The packages' file times; a packager sets it for reproducible packages.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || echo 1796688000)
fi
export SOURCE_DATE_EPOCH

# ccache, where there is one, with absolute paths: its base folder would
# hand the compiler relative paths that the build's path mapping misses.
unset CCACHE_BASEDIR
launcher=$(command -v ccache || true)

# A Release build in folder $1 with test firmware, and its packages.
build() {
  local out=$1
  cmake -S . -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DCMAKE_INSTALL_PREFIX=/usr \
    -DCMAKE_CXX_COMPILER_LAUNCHER="$launcher" >/dev/null
  ninja -C "$out" zx-pack >/dev/null
  # Test firmware only: made-up bytes that must never reach a real drive.
  mkdir -p "$out/test-firmware"
  "$out/tools/zx-pack" synth --version 9.0T --part1 "$out/test-firmware/part1.bin" \
    --part2 "$out/test-firmware/part2.bin" >/dev/null
  cmake -S . -B "$out" -DZX_FIRMWARE_PART1="$PWD/$out/test-firmware/part1.bin" \
    -DZX_FIRMWARE_PART2="$PWD/$out/test-firmware/part2.bin" >/dev/null
  ninja -C "$out" >/dev/null
  rm -f "$out"/*.deb
  (cd "$out" && cpack -G DEB >/dev/null)
}
build "$dir"
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

# The Debian packages, named with the version.
deb="$dir/zorvex-flash_${version}_$(dpkg --print-architecture).deb"
dbgsym="$dir/zorvex-flash-dbgsym_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "no package $deb"
[ -f "$dbgsym" ] || fail "no package $dbgsym"
depends=$(dpkg-deb -f "$deb" Depends)
for needed in qt6-qpa-plugins fonts-ipafont-gothic libqt6widgets6; do
  case "$depends" in *"$needed"*) ;; *) fail "the package does not depend on $needed: $depends" ;; esac
done
apt-get install --simulate -qq "./$deb" >/dev/null || fail "the package would not install"

[ "$(dpkg-deb -f "$deb" Suggests)" = lsscsi ] || fail "the package does not suggest lsscsi"
[ -n "$(dpkg-deb -f "$deb" Homepage)" ] || fail "the package names no homepage"
# Both packages as Debian judges them: no error or warning (the tags left are
# explained in the package's lintian-overrides file).
lintian --pedantic --fail-on error,warning --display-level '>=pedantic' "$deb" "$dbgsym" ||
  fail "lintian found errors or warnings"

root="$work/deb"
dpkg-deb -x "$deb" "$root"
dpkg-deb -x "$dbgsym" "$root"
# No build folder in any installed file: the demo must not look for its
# library there, and the debug files name no folder of this machine.
if grep -rlaF "$PWD" "$root"; then fail "installed files name the build folder $PWD"; fi
# Every ELF file hardened, each but the two firmware carriers stripped by the
# package (the carriers were stripped before their container was appended).
while IFS= read -r elf; do
  # --nocfprotection: Debian 12's C start-up files carry no IBT/SHSTK mark, so
  # no program linked with them gets one (-fcf-protection is given all the same).
  hardening-check --quiet --nocfprotection "$elf" ||
    { hardening-check --nocfprotection "$elf" >&2; fail "$elf is not hardened"; }
  readelf -S --wide "$elf" | grep -q ' \.symtab ' && fail "$elf is not stripped"
done < <(find "$root/usr/bin" "$root/usr/lib" -path "$root/usr/lib/debug" -prune -o -type f -print |
         while IFS= read -r f; do [ "$(head -c4 "$f" | od -An -c | tr -d ' ')" = '177ELF' ] && echo "$f"; done)
# A crash of the installed product gets names: gdb finds its functions in the
# -dbgsym package's debug file, by build ID, not in the dynamic symbols.
symbols=$(gdb -batch -nx -ex "set debug-file-directory $root/usr/lib/debug" \
  -ex "file $root/usr/bin/zorvex-flash" -ex 'info functions Button1Click' 2>&1)
sed '/^Non-debugging symbols:/,$d' <<<"$symbols" | grep -q 'TForm1::Button1Click()' ||
  fail "gdb found no debug information for the installed product: $symbols"
inspection=$("$root/usr/bin/zx-pack" inspect "$root/usr/bin/zorvex-flash") ||
  fail "the packaged product's container is not accepted"
grep -q '^carried version: 9.0T$' <<<"$inspection" || fail "the packaged product carries another firmware"
inspection=$("$root/usr/bin/zx-pack" inspect "$root/usr/bin/zorvex-flash-cli") ||
  fail "the packaged command line's container is not accepted"
grep -q '^carried version: 9.0T$' <<<"$inspection" || fail "the packaged command line carries another firmware"
"$root/usr/bin/zx-pack" --version | grep -qx "zx-pack $version" || fail "zx-pack --version"
"$root/usr/bin/zx-trace" --version | grep -qx "zx-trace $version" || fail "zx-trace --version"

id=org.zorvexflash.FlashUtility
desktop-file-validate "$root/usr/share/applications/$id.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml" >/dev/null ||
  appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml"
grep -q "<release version=\"$version\"" "$root/usr/share/metainfo/$id.metainfo.xml" ||
  fail "the metainfo's releases do not name version $version"
[ -f "$root/usr/share/icons/hicolor/scalable/apps/$id.svg" ] || fail "no icon"
for size in 16 32 48 64 128 256; do
  [ -f "$root/usr/share/icons/hicolor/${size}x${size}/apps/$id.png" ] || fail "no ${size}x${size} icon"
done
for page in zorvex-flash zorvex-flash-demo zorvex-flash-cli zorvex-flash-cli-demo zx-pack zx-trace; do
  file="$root/usr/share/man/man1/$page.1.gz"
  [ -f "$file" ] || fail "no man page $page"
  warnings=$(zcat "$file" | groff -man -ww -z -Tutf8 2>&1)
  [ -z "$warnings" ] || fail "man page $page: $warnings"
done
for doc in README.md copyright changelog.gz; do
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
# The command line's demo likewise, without any display.
LD_DEBUG=files env -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/zorvex-flash-cli-demo" flash --yes --family 9x \
  --language en --latency-scale 0 >"$work/cli-demo.out" 2>"$work/cli-demo.err" ||
  { cat "$work/cli-demo.out" "$work/cli-demo.err" >&2; fail "the installed command-line demo's run failed"; }
grep -q '^succeeded: drive 1 now carries 1.0B' "$work/cli-demo.out" || fail "the installed command-line demo did not flash"
grep 'file=.*wnaspi32.dll.*generating link map' "$work/cli-demo.err" | grep -q "file=$root/usr/" ||
  fail "the installed command-line demo did not load its installed virtual ASPI library"

# The optimised, fortified product (its open() is __open_2) end to end in
# front of the stand-in sg driver: the product tests' Release case, run by
# the test program of the plain build (scripts/test.sh makes it first).
if [ -x build/tests/tests_app ]; then
  ZX_RELEASE_PRODUCT="$PWD/$dir/app/entry/zorvex-flash.bare" build/tests/tests_app \
    --gtest_filter='Faults/ProductTest.*/ReleaseBuild*' >"$work/release.out" 2>&1 &&
    grep -q '^\[  PASSED  \] 1 test' "$work/release.out" ||
    { cat "$work/release.out" >&2; fail "the Release product's run in front of the stand-in sg driver failed"; }
else
  echo "check-package: no build/tests/tests_app (scripts/test.sh makes it): the Release product's run is left out" >&2
fi

# A screen reader's view of the installed demo's window, in both languages.
scripts/check-accessibility.sh "$root/usr/bin/zorvex-flash-demo"

# Reproducible: the same source built in another folder gives the same bytes.
build "$again"
for package in "$deb" "$dbgsym"; do
  cmp "$package" "$again/$(basename "$package")" ||
    fail "$(basename "$package") differs between builds in $dir and $again"
done

echo "check-package: $deb passed in $(( $(date +%s) - start )) s"
