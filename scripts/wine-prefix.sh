#!/usr/bin/env bash
# Makes a Wine prefix for the Windows programs (when it has none yet) and
# maps the window's Japanese font there: the family "ＭＳ Ｐゴシック" to the
# IPA Gothic face Debian has (fonts-ipafont-gothic), and Tahoma, the menu
# bar's font, linked to it for Japanese as Windows links Tahoma to its own
# Japanese font. Safe to run again.
#   scripts/wine-prefix.sh [PREFIX]     default build-win64/wine-prefix
# The prefix is a 64-bit one; with wine32 installed it runs the i686
# programs too (scripts/wine-run.sh).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
prefix="${1:-$here/build-win64/wine-prefix}"
run=("$here/scripts/wine-run.sh" --prefix "$prefix")
if [ ! -f "$prefix/system.reg" ]; then
  echo "Making the Wine prefix $prefix"
  timeout 600 "${run[@]}" wineboot --init </dev/null >/dev/null 2>&1
fi
"${run[@]}" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ Ｐゴシック' /d IPAPGothic /f >/dev/null 2>&1
"${run[@]}" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' /v Tahoma \
  /t REG_MULTI_SZ /d 'ipagp.ttf,IPAPGothic' /f >/dev/null 2>&1
