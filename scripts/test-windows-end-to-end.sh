#!/usr/bin/env bash
# End-to-end runs of the x86_64 Windows programs under Wine, on a private X
# server (Xvfb), as scripts/test-windows.sh calls it after the unit tests:
#  - the demo's whole successful run in English and in Japanese, each with a
#    screenshot of the window that must not be blank;
#  - the window made through the ANSI functions on the 95/98/Me family and
#    through the wide ones on the NT family, with the same Japanese texts;
#  - without code page 932 (and UTF-8): the same Japanese texts on the NT
#    family, the same on the 95/98/Me family without UTF-8, and English
#    runs whole on both;
#  - the demo's run on the NT family (the pass-through simulator) and on the
#    95/98/Me family through the program's own start-up (Wine reports
#    Windows 98 to the demo alone, so it loads wnaspi32.dll), each with a
#    command log equal to the Linux demo's (when that is built);
#  - Power Off reaching only the demo's stand-in;
#  - the message area without the rich-edit library, and the window scaled
#    at 144 dots per inch;
#  - a logoff during a run refused, a logoff forced past the refusal taken
#    as the end of the window, and Ctrl+C during a run deferred, each run
#    whole;
#  - the command line's demo: its whole run's command log equal to the
#    window demo's on both families, list --json, Ctrl+C deferred;
#  - planted libraries (beside the program, current directory, PATH) never
#    loaded;
#  - the bare product starting, rejecting its own file ("Incorrect file")
#    and ending on "Target drive is not found.";
#  - the product's icon, version information (English and Japanese) and
#    manifest;
#  - the x86_64 installer, made by scripts/package-windows.sh: a silent
#    install into the 64-bit Program Files with the zip's files, a Start-menu
#    entry for all users and a complete uninstall entry; a silent uninstall
#    that leaves none of it behind.
#  - then the i686 programs under 32-bit Wine (scripts/test-windows-i686.sh).
# Screenshots and logs stay in build-win64/end-to-end/.
#   scripts/test-windows-end-to-end.sh
set -euo pipefail
cd "$(dirname "$0")/.."
here="$PWD"

if [ -z "${ZX_E2E_IN_XVFB:-}" ]; then
  export ZX_E2E_IN_XVFB=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

build="$here/build-win64"
out="$build/end-to-end"
rm -rf "$out"
mkdir -p "$out"
export WINEPREFIX="$build/wine-prefix"
export WINESERVER=/usr/lib/wine/wineserver64
export WINELOADER=/usr/lib/wine/wine64
export WINEDEBUG="${WINEDEBUG:--all}"
export QEMU_RESERVED_VA=0xffff0000  # 32-bit Wine under qemu: see scripts/wine-run.sh
# The demo's wnaspi32.dll, not Wine's built-in one; no .NET or HTML engine offers.
export WINEDLLOVERRIDES="wnaspi32=n;mscoree,mshtml="
demo="$build/app/entry/zorvex-flash-demo.exe"
product="$build/app/entry/zorvex-flash.exe"
failures=0

fail() {
  echo "FAILED: $*" >&2
  failures=$((failures + 1))
}

wine() { "$WINELOADER" "$@"; }

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  timeout 300 "$here/scripts/wine-run.sh" --prefix "$WINEPREFIX" wineboot --init </dev/null >/dev/null 2>&1
fi
"$WINESERVER" -p30 2>/dev/null || true
# The window's font family maps to the Japanese Gothic face that Debian has;
# the menu bar's system font (Tahoma) falls back to it for Japanese, as
# Windows links Tahoma to its own Japanese font.
wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ Ｐゴシック' /d IPAPGothic /f >/dev/null 2>&1
wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' /v Tahoma \
  /t REG_MULTI_SZ /d 'ipagp.ttf,IPAPGothic' /f >/dev/null 2>&1

# The program's window, once it is up (a bounded number of looks); empty if never.
find_window() {
  local window=""
  for _ in $(seq 1 100); do
    window=$(xdotool search --name 'Zorvex Firmware Flash Utility for RT-5800B' 2>/dev/null | head -1 || true)
    [ -n "$window" ] && break
    sleep 0.2
  done
  echo "$window"
}

# A whole demo run with a screenshot of its window once the run is under way;
# its files are named by `name` (default: the language); any further
# arguments are VAR=value settings for Wine.
screenshot_run() {
  local language="$1" name="${2:-$1}"
  local shot="$out/window-$name.png"
  env "${@:3}" "$WINELOADER" "$demo" --auto-flash --language "$language" --latency-scale 0.3 \
    >"$out/run-$name.out" 2>&1 &
  local pid=$! window=""
  window=$(find_window)
  if [ -z "$window" ]; then
    fail "$name: the window never came up"
  else
    sleep 2  # the run is under way: status text and a moving bar
    import -window "$window" "$shot" 2>/dev/null || import -window root "$shot"
    # Blank: one colour, or so little variation that no text or bar shows
    # (the window with its texts varies by about 0.13).
    local spread
    spread=$(convert "$shot" -format '%[fx:round(1000*standard_deviation)]' info: 2>/dev/null || echo 0)
    if [ "$spread" -lt 50 ]; then fail "$name: the screenshot is blank (spread $spread/1000)"; fi
  fi
  if ! wait "$pid"; then fail "$name: the demo's run did not succeed"; fi
  grep -q 'the run succeeded' "$out/run-$name.out" || fail "$name: no successful run reported"
}

# A whole demo run at full speed with its command log; the exit status must be 0.
logged_run() {
  local name="$1"
  shift
  if ! WINEDEBUG=+loaddll timeout 120 "$WINELOADER" "$demo" --auto-flash --language en --latency-scale 0 \
    --command-log "Z:$out/$name.log" "$@" >"$out/$name.out" 2>&1; then
    fail "$name: the demo's run did not succeed"
  fi
  grep -q 'the run succeeded' "$out/$name.out" || fail "$name: no successful run reported"
  # The message area as the window shows it (the 95/98/Me family's texts go
  # through the ANSI functions).
  grep -q 'message area reads "Flashing is Completed. Please turn off your PC."' "$out/$name.out" ||
    fail "$name: the message area does not read the completion message"
  # Power Off reached the stand-in, which says so and shuts nothing down.
  grep -q 'zorvex-flash-demo: power-off requested' "$out/$name.out" || fail "$name: Power Off did not reach the stand-in"
}

screenshot_run en
screenshot_run ja

# Which family start-up took shows in what it loaded (Wine's loaddll trace):
# the library family loads the wnaspi32.dll beside the demo, the NT family none.
logged_run nt
grep -qi 'wnaspi32' "$out/nt.out" && fail "nt: the NT family loaded an ASPI library"
# Windows 98 for the demo alone: GetVersionExA reports platform 1 to it.
wine reg add 'HKCU\Software\Wine\AppDefaults\zorvex-flash-demo.exe' /v Version /d win98 /f >/dev/null 2>&1
logged_run 9x
wine reg delete 'HKCU\Software\Wine\AppDefaults\zorvex-flash-demo.exe' /f >/dev/null 2>&1 || true
grep -qi 'Loaded.*entry.*wnaspi32\.dll.*native' "$out/9x.out" ||
  fail "9x: start-up did not load the wnaspi32.dll beside the demo"

# The run itself is the same 62 commands in both families (43 for unit 0,
# 19 for unit 1 with its repeated flash-mode-on); start-up differs only in
# the pass-through family's own INQUIRY of each adapter.
for name in nt 9x; do
  tail -n 62 "$out/$name.log" >"$out/$name.run"
  [ "$(wc -l <"$out/$name.run")" -eq 62 ] || fail "$name: fewer than 62 commands"
done
cmp -s "$out/nt.run" "$out/9x.run" || fail "the two families' runs sent different commands"
[ "$(grep -c . "$out/nt.log")" -eq "$(($(grep -c . "$out/9x.log") + 1))" ] ||
  fail "start-up sent other commands than one INQUIRY more on the pass-through family"
linux_demo="$here/build/app/entry/zorvex-flash-demo"
if [ -x "$linux_demo" ]; then
  for family in nt 9x; do
    QT_QPA_PLATFORM=offscreen "$linux_demo" --auto-flash --language en --latency-scale 0 --family "$family" \
      --command-log "$out/linux-$family.log" >"$out/linux-$family.out" 2>&1 ||
      fail "the Linux demo's $family run did not succeed"
    cmp -s "$out/linux-$family.log" "$out/$family.log" || fail "$family: the command log differs from Linux's"
  done
else
  echo "note: $linux_demo is not built; the command logs were compared between the two families only"
fi

# --- The window's character kind on each family ---------------------------
# The 95/98/Me family has the wide window functions only as stubs, so there
# every window is made through the ANSI functions and shows Japanese right
# where the code page is 932 (a Japanese Windows 98: here Wine in a Japanese
# locale); the NT family makes them wide, right whatever the code page.
# Wine's traces tell both apart: each window's creation shows its empty
# title as an ANSI ("") or a wide (L"") string, and each text drawn (labels,
# buttons, menus) or laid out (the message area) shows the characters it
# became (\xxxx for each one outside ASCII).
mkdir -p "$out/locale"
localedef -i ja_JP -f UTF-8 "$out/locale/ja_JP.UTF-8" 2>/dev/null || fail "no Japanese locale for Wine's code page 932"
traces=WINEDEBUG=trace+win,trace+text,trace+richedit,trace+nls
# Wine has every code page; the program's conversion layer takes them away
# (ZX_REFUSED_CODE_PAGES), as a Western Windows lacks 932 and Windows 95
# converts no UTF-8 (65001): the same Japanese texts must still be drawn.
# (Before the Japanese locale's run, after which Wine has rewritten the
# menu font's link to the Japanese face.)
without=ZX_REFUSED_CODE_PAGES=932,65001
screenshot_run ja ja-nt "$traces"
screenshot_run ja ja-nt-without "$traces" "$without"
wine reg add 'HKCU\Software\Wine\AppDefaults\zorvex-flash-demo.exe' /v Version /d win98 /f >/dev/null 2>&1
screenshot_run ja ja-9x "$traces" LOCPATH="$out/locale" LC_ALL=ja_JP.UTF-8
screenshot_run ja ja-9x-without-utf8 "$traces" LOCPATH="$out/locale" LC_ALL=ja_JP.UTF-8 ZX_REFUSED_CODE_PAGES=65001
# English runs whole on both families without either code page.
ZX_REFUSED_CODE_PAGES=932,65001 logged_run 9x-without
wine reg delete 'HKCU\Software\Wine\AppDefaults\zorvex-flash-demo.exe' /f >/dev/null 2>&1 || true
# The classes of the program's windows made in one kind ("" or L"").
windows_made() { sed -n "s/.*WIN_CreateWindowEx $2 L\"\([A-Za-z0-9_]*\)\".*/\1/p" "$1" | sed 's/RichEdit20[AW]/RichEdit20/' | sort; }
# The texts drawn or laid out that hold a character outside ASCII.
# A run's window changes reach the window without the run waiting, the
# latest state winning: "Flashing Completed" (ファームウェア書き換え終了), set
# just before the power-off advice, is drawn only when the window happens to
# catch up between the two, so it is left out of the comparison.
completed_ja='\\30d5\\30a1\\30fc\\30e0\\30a6\\30a7\\30a2\\66f8\\304d\\63db\\3048\\7d42\\4e86'
texts_drawn() {
  { sed -n 's/.*:DrawTextExW L"\(.*\)", [0-9-]*, \[.*/\1/p' "$1"
    awk '/itemize_para before splitting/ { getline; sub(/.*L"/, ""); sub(/"$/, ""); print }' "$1"
  } | grep '\\[0-9a-f]\{4\}' | grep -vx "$completed_ja" | sort -u
}
windows_made "$out/run-ja-9x.out" '""' >"$out/windows-9x.txt"
windows_made "$out/run-ja-nt.out" 'L""' >"$out/windows-nt.txt"
grep -qx ZxToolkitForm "$out/windows-9x.txt" || fail "9x: the window was not made through the ANSI functions"
cmp -s "$out/windows-9x.txt" "$out/windows-nt.txt" || fail "the two families made different windows in their own kinds"
[ -z "$(windows_made "$out/run-ja-9x.out" 'L""')" ] || fail "9x: windows made through the wide functions"
[ -z "$(windows_made "$out/run-ja-nt.out" '""')" ] || fail "nt: windows made through the ANSI functions"
texts_drawn "$out/run-ja-9x.out" >"$out/texts-9x.txt"
texts_drawn "$out/run-ja-nt.out" >"$out/texts-nt.txt"
# Japanese (kana, kanji) drawn, and nothing of the Latin ranges that CP932
# bytes read in another code page turn into; the same texts on both families.
grep -q '\\\(30[0-9a-f][0-9a-f]\|[4-9][0-9a-f]\{3\}\)' "$out/texts-nt.txt" || fail "nt: no Japanese text drawn"
grep -q '\\0\(0[89a-f]\|[12][0-9a-f]\)[0-9a-f]' "$out/texts-9x.txt" && fail "9x: mojibake drawn"
grep -q '\\0\(0[89a-f]\|[12][0-9a-f]\)[0-9a-f]' "$out/texts-nt.txt" && fail "nt: mojibake drawn"
cmp -s "$out/texts-9x.txt" "$out/texts-nt.txt" || fail "the two families drew different Japanese texts"
texts_drawn "$out/run-ja-nt-without.out" >"$out/texts-nt-without.txt"
texts_drawn "$out/run-ja-9x-without-utf8.out" >"$out/texts-9x-without-utf8.txt"
cmp -s "$out/texts-nt.txt" "$out/texts-nt-without.txt" || fail "nt without code page 932: other Japanese texts drawn"
cmp -s "$out/texts-9x.txt" "$out/texts-9x-without-utf8.txt" || fail "9x without UTF-8: other Japanese texts drawn"
# Wine's trace of every conversion (each names its code page) shows that
# the system converted no text outside ASCII (the program's Japanese; Wine's
# own font code converts the alphabet in the font's code page) in the
# refused ones, where it did with them.
converted() { grep -aq "trace:nls:[A-Za-z]*To[A-Za-z]* cp $2 L\?\"[^\"]*\\\\[0-9a-fx]" "$out/run-$1.out"; }
converted ja-nt 932 || fail "nt: no conversion of code page 932 traced, so its absence below proves nothing"
converted ja-nt-without 932 && fail "nt without code page 932: the system converted code page 932"
converted ja-nt-without 65001 && fail "nt without UTF-8: the system converted UTF-8"
converted ja-9x-without-utf8 65001 && fail "9x without UTF-8: the system converted UTF-8"
ZX_REFUSED_CODE_PAGES=932,65001 logged_run nt-without
for name in nt 9x; do
  cmp -s "$out/$name.log" "$out/$name-without.log" || fail "$name without code page 932: another run than with it"
done
# --- end of the window's character kind ------------------------------------

# --- Systems without the rich-edit library, and larger resolutions --------
# Windows 95 and NT 4.0 lack riched20.dll: the message area is then a plain
# edit control and must still read every message.
WINEDLLOVERRIDES="riched20=;$WINEDLLOVERRIDES" logged_run no-rich-edit
grep -qi 'Loaded.*riched20' "$out/no-rich-edit.out" && fail "no-rich-edit: riched20.dll was loaded all the same"
# The window's outer width at the system's resolution, while a run shows it.
window_width() {
  wine "$demo" --auto-flash --latency-scale 0.3 >"$out/dpi-$1.out" 2>&1 &
  local pid=$! window=""
  window=$(find_window)
  [ -n "$window" ] && xdotool getwindowgeometry --shell "$window" | sed -n 's/^WIDTH=//p'
  wait "$pid" || true
}
# At 144 dots per inch (150 %) the program scales its 96-dpi layout itself:
# one and a half times as wide, its text drawn at that size, not stretched.
width96=$(window_width 96)
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
"$WINESERVER" -k 2>/dev/null || true
"$WINESERVER" -p30 2>/dev/null || true
width144=$(window_width 144)
wine reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f >/dev/null 2>&1 || true
"$WINESERVER" -k 2>/dev/null || true
"$WINESERVER" -p30 2>/dev/null || true
if [ -z "$width96" ] || [ -z "$width144" ] || [ $((width96 * 3)) -lt $((width144 * 2 - 6)) ] ||
  [ $((width96 * 3)) -gt $((width144 * 2 + 6)) ]; then
  fail "at 144 dpi the window is ${width144:-?} pixels wide, at 96 dpi ${width96:-?}: not scaled by 1.5"
fi
# --- end of the rich-edit library and resolutions ---------------------------

# Waits (a bounded number of looks) until the command log has `count` lines.
wait_for_commands() {
  local log="$1" count="$2"
  for _ in $(seq 1 600); do
    [ -f "$log" ] && [ "$(grep -c . "$log")" -ge "$count" ] && return 0
    sleep 0.1
  done
  return 1
}

# A run interrupted from outside: `act` is done once 20 commands have
# reached the drive; the run must still send every command.
interrupted_run() {
  local name="$1" expected="$2" act="$3"
  "$WINELOADER" "$demo" --auto-flash --language en --latency-scale 0.3 --command-log "Z:$out/$name.log" \
    >"$out/$name.out" 2>&1 &
  local pid=$! status=0
  wait_for_commands "$out/$name.log" 20 || fail "$name: the run never started"
  $act "$pid" >"$out/$name.act" 2>&1 || true
  wait "$pid" || status=$?
  [ "$status" -eq "$expected" ] || fail "$name: exit status $status, not $expected"
  [ "$(grep -c . "$out/$name.log")" -eq "$(grep -c . "$out/nt.log")" ] || fail "$name: the run was cut short"
}
# A logoff asked for during a run (wineboot asks every window first, as
# Windows does) is refused, and the run goes on to its end.
end_session() { wine wineboot --end-session; }
interrupted_run session 0 end_session
grep -q 'the run succeeded' "$out/session.out" || fail "session: no successful run reported"
# A logoff forced past the refusal: the run is finished without the window
# while the session waits, and the program ends saying how it ended.
forced_end() { wine "$build/tests/zx_end_session.exe" "Zorvex Firmware Flash Utility"; }
interrupted_run forced-session 3 forced_end
tr -d '\r' <"$out/forced-session.act" | grep -qx 'refused' || fail "forced-session: the window did not refuse the session's end"
grep -q 'the session is ending during a flash run' "$out/forced-session.out" ||
  fail "forced-session: the forced end was not taken as one"
grep -q 'the flash run is over: "Flashing Completed"; ending because the session is ending' \
  "$out/forced-session.out" || fail "forced-session: no outcome line"
# Ctrl+C in the console (Wine turns SIGINT into it) waits for the run's end;
# then the process ends as the system's own handler ends it, with
# STATUS_CONTROL_C_EXIT, of which a Linux shell sees the low byte.
ctrl_c() { kill -INT "$1"; }
interrupted_run ctrl-c 58 ctrl_c
grep -q 'Ctrl+C during a flash run' "$out/ctrl-c.out" || fail "ctrl-c: the request was not deferred"

# --- The command line's demo -----------------------------------------------
# Its whole run sends the window demo's commands on both families (the NT
# family's pass-through and, as Windows 98, the library beside it); --json
# gives one object; Ctrl+C during a run waits for the run's end.
cli_demo="$build/cli/zorvex-flash-cli-demo.exe"
cli_logged_run() {
  local family="$1"
  WINEDEBUG=+loaddll timeout 120 "$WINELOADER" "$cli_demo" flash --yes --language en --latency-scale 0 \
    --command-log "Z:$out/cli-$family.log" >"$out/cli-$family.out" 2>&1 || fail "cli-$family: the run did not succeed"
  grep -q 'succeeded: drive 1 now carries 1.0B' "$out/cli-$family.out" || fail "cli-$family: no successful run reported"
  cmp -s "$out/cli-$family.log" "$out/$family.log" || fail "cli-$family: the command log differs from the window demo's"
}
cli_logged_run nt
grep -qi 'wnaspi32' "$out/cli-nt.out" && fail "cli-nt: the NT family loaded an ASPI library"
wine reg add 'HKCU\Software\Wine\AppDefaults\zorvex-flash-cli-demo.exe' /v Version /d win98 /f >/dev/null 2>&1
cli_logged_run 9x
wine reg delete 'HKCU\Software\Wine\AppDefaults\zorvex-flash-cli-demo.exe' /f >/dev/null 2>&1 || true
grep -qi 'Loaded.*wnaspi32\.dll.*native' "$out/cli-9x.out" || fail "cli-9x: the wnaspi32.dll beside it was not loaded"
timeout 60 "$WINELOADER" "$cli_demo" list --json --drives 2 >"$out/cli-list.json" 2>"$out/cli-list.err" ||
  fail "cli-list: exit status not 0"
grep -q '"device":"E:","adapter":1,' "$out/cli-list.json" || fail "cli-list: no second drive on E: in the object"
"$WINELOADER" "$cli_demo" flash --yes --latency-scale 0.3 --command-log "Z:$out/cli-ctrl-c.log" \
  >"$out/cli-ctrl-c.out" 2>&1 &
cli_pid=$!
cli_status=0
wait_for_commands "$out/cli-ctrl-c.log" 20 || fail "cli-ctrl-c: the run never started"
kill -INT "$cli_pid"
wait "$cli_pid" || cli_status=$?
[ "$cli_status" -eq 58 ] || fail "cli-ctrl-c: exit status $cli_status, not 58"
grep -q 'Ctrl+C during a flash run' "$out/cli-ctrl-c.out" || fail "cli-ctrl-c: the request was not deferred"
[ "$(grep -c . "$out/cli-ctrl-c.log")" -eq "$(grep -c . "$out/nt.log")" ] || fail "cli-ctrl-c: the run was cut short"
# --- end of the command line's demo ----------------------------------------

# Its output's reader gone from the start: every line then fails to be
# written, and the run still goes on to its end.
statuses=$(
  set +e +o pipefail
  "$WINELOADER" "$demo" --auto-flash --language en --latency-scale 0 --command-log "Z:$out/closed-pipe.log" 2>&1 |
    head -c 1 >/dev/null
  echo "${PIPESTATUS[0]}"
)
[ "$statuses" = 0 ] || fail "closed-pipe: exit status $statuses with nobody reading its output"
[ "$(grep -c . "$out/closed-pipe.log")" -eq "$(grep -c . "$out/nt.log")" ] || fail "closed-pipe: the run was cut short"

# Libraries planted beside the program (in place of a system library), in
# the current directory and on PATH are never loaded, in either family.
planted="$out/planted"
mkdir -p "$planted/cwd" "$planted/beside"
cp "$build/planted/riched20.dll" "$build/planted/wnaspi32.dll" "$planted/cwd/"
cp "$product" "$build/planted/riched20.dll" "$planted/beside/"
export ZX_PLANTED_MARK="Z:$planted/marks.txt"
# First that a planted library, once loaded, does leave its mark.
# (Wine takes its built-in riched20 even for a path unless told otherwise.)
WINEDLLOVERRIDES="riched20=n" wine rundll32 "Z:$planted/cwd/riched20.dll,Nothing" >/dev/null 2>&1 || true
[ -s "$planted/marks.txt" ] || fail "planted: the planted library leaves no mark when loaded"
rm -f "$planted/marks.txt"
for version in win10 win98; do
  wine reg add 'HKCU\Software\Wine\AppDefaults\zorvex-flash.exe' /v Version /d "$version" /f >/dev/null 2>&1
  (cd "$planted/cwd" && PATH="$planted/cwd:$PATH" WINEPATH="Z:$planted/cwd" \
    WINEDLLOVERRIDES="riched20=n,b;wnaspi32=n;mscoree,mshtml=" timeout 15 "$WINELOADER" \
    "$planted/beside/zorvex-flash.exe" >"$out/planted-$version.out" 2>&1 || true)
done
wine reg delete 'HKCU\Software\Wine\AppDefaults\zorvex-flash.exe' /f >/dev/null 2>&1 || true
unset ZX_PLANTED_MARK
[ ! -e "$planted/marks.txt" ] || fail "planted libraries were loaded: $(tr '\r\n' '  ' <"$planted/marks.txt")"

# The bare product: it starts, rejects its own file ("Incorrect file"), and
# with no drive here its message area ends on "Target drive is not found."
# (Wine's rich-edit trace shows each text the control lays out, whole just
# before it is split into runs). It then waits for the operator; the time
# limit ends it.
WINEDEBUG=trace+richedit timeout 15 "$WINELOADER" "$product" >"$out/product.out" 2>"$out/product.trace" || true
awk '/itemize_para before splitting/ { getline; sub(/.*L"/, ""); sub(/"$/, ""); print }' "$out/product.trace" |
  grep -vx '\\r' >"$out/product-texts.txt" || true
grep -qx 'Incorrect file' "$out/product-texts.txt" || fail "the bare product did not say \"Incorrect file\""
[ "$(tail -n 1 "$out/product-texts.txt")" = "Target drive is not found." ] ||
  fail "the bare product's last message is not \"Target drive is not found.\""

# The shipped program's resources: its icon, its version information in
# English and in Japanese, and its manifest with the execution level and
# the resolution awareness.
resources=$(x86_64-w64-mingw32-windres -i "$product" -O rc 2>&1 | tr -d '\r') || resources=""
for want in 'RT_GROUP_ICON' 'BLOCK "040904b0"' 'BLOCK "041104b0"' 'RT_MANIFEST' \
  'requestedExecutionLevel level=""requireAdministrator""' '>true</dpiAware>'; do
  grep -qF "$want" <<<"$resources" || fail "the product lacks a resource: $want"
done

# The installer, as a user's /S install and uninstall would go.
installed="$WINEPREFIX/drive_c/Program Files/Zorvex Firmware Flash Utility"
shortcut="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Zorvex Firmware Flash Utility.lnk"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\ZorvexFlashUtility'
version=$(sed -n 's/^project(ZorvexFlash VERSION \([0-9.]*\).*/\1/p' "$here/CMakeLists.txt")
if ! ZX_SKIP_BUILD=1 ZX_SKIP_INSTALL=1 ZX_PACKAGE_ARCHS=win64 ZX_DIST_DIR="$out/dist" \
  "$here/scripts/package-windows.sh" >"$out/package.out" 2>&1; then
  fail "scripts/package-windows.sh did not package the x86_64 build (see $out/package.out)"
else
  timeout 300 "$WINELOADER" "$out/dist/zorvex-flash-$version-win64-setup.exe" /S >"$out/install.out" 2>&1 ||
    fail "the silent install did not succeed"
  (cd "$installed" 2>/dev/null && ls) | sort >"$out/installed.txt"
  unzip -Z1 "$out/dist/zorvex-flash-$version-win64.zip" | sed -n 's|^[^/]*/\(..*\)$|\1|p' |
    { cat; echo uninstall.exe; } | sort >"$out/expected.txt"
  cmp -s "$out/installed.txt" "$out/expected.txt" || fail "the installed files are not the zip's files and the uninstaller"
  cmp -s "$installed/zorvex-flash.exe" "$product" || fail "the installed program is not the build's"
  [ -f "$shortcut" ] || fail "no Start-menu entry for all users"
  wine reg query "$key" /reg:64 2>&1 | tr -d '\r' >"$out/uninstall-entry.txt" || fail "no uninstall entry in the 64-bit registry view"
  for value in "DisplayName *REG_SZ *Zorvex Firmware Flash Utility\$" "DisplayVersion *REG_SZ *$version\$" \
    'Publisher *REG_SZ *.' 'DisplayIcon *REG_SZ *C:\\Program Files\\Zorvex Firmware Flash Utility\\zorvex-flash.exe,0' \
    'EstimatedSize *REG_DWORD *0x[0-9a-f]*[1-9a-f]' 'UninstallString *REG_SZ *"C:\\Program Files\\'; do
    grep -q "^ *$value" "$out/uninstall-entry.txt" || fail "the uninstall entry lacks $value"
  done
  # The uninstaller runs on from a copy of itself; wait for it to finish.
  timeout 300 "$WINELOADER" "$installed/uninstall.exe" /S >"$out/uninstall.out" 2>&1 || fail "the silent uninstall did not start"
  for _ in $(seq 120); do
    if [ ! -e "$installed" ] && [ ! -e "$shortcut" ] && ! wine reg query "$key" /reg:64 >/dev/null 2>&1; then break; fi
    sleep 1
  done
  [ ! -e "$installed" ] || fail "the uninstall left $installed"
  [ ! -e "$shortcut" ] || fail "the uninstall left the Start-menu entry"
  if wine reg query "$key" /reg:64 >/dev/null 2>&1; then fail "the uninstall left its registry key"; fi
fi

# The i686 programs under 32-bit Wine, in the same prefix and server, with
# the Linux demo's command logs made above (ZX_SKIP_I686=1 leaves them out).
if [ "${ZX_SKIP_I686:-0}" != "1" ]; then
  "$here/scripts/test-windows-i686.sh" "$out" || fail "the i686 programs under 32-bit Wine (see build-win32/end-to-end)"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures end-to-end check(s) failed; see $out" >&2
  exit 1
fi
echo "Windows end to end: all checks passed (screenshots and logs in $out)"
