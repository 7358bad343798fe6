#!/usr/bin/env bash
# Writes the C++ table of every character outside ASCII that the given
# sources hold and that code page 932 has, with its CP932 bytes, taken from
# the build machine's iconv: the Windows toolkit converts the program's own
# texts through it where the system has no code page 932 (a Western Windows
# without the East Asian language files) and so needs none to show them.
# Run by the Windows build (CMakeLists.txt); characters that CP932 lacks or
# that lie beyond the basic plane are left out (they become '?').
#   scripts/cp932-texts.sh OUTPUT.cpp SOURCE...
set -euo pipefail
out="$1"
shift
export LC_ALL=C.UTF-8
entries=""
while IFS= read -r c; do
  [ -n "$c" ] || continue
  cp932=$(printf '%s' "$c" | iconv -f UTF-8 -t CP932 2>/dev/null | od -An -tx1 | tr -d ' \n') || continue
  utf16=$(printf '%s' "$c" | iconv -f UTF-8 -t UTF-16BE | od -An -tx1 | tr -d ' \n')
  if [ -z "$cp932" ] || [ ${#cp932} -gt 4 ] || [ ${#utf16} -ne 4 ]; then continue; fi
  entries+="    {0x$utf16, 0x$cp932},"$'\n'
done < <(grep -ohP '[^\x00-\x7F]' "$@" | sort -u)
{
  echo "// Made by scripts/cp932-texts.sh from the program's sources at build time."
  echo '#include "app/toolkit/win32/win32_own_texts.h"'
  echo
  echo "namespace tk {"
  echo
  echo "const OwnCharacter kOwnCharacters[] = {"
  printf '%s' "$entries" | sort
  echo "};"
  echo "const std::size_t kOwnCharacterCount = sizeof kOwnCharacters / sizeof kOwnCharacters[0];"
  echo
  echo "}  // namespace tk"
} >"$out.new"
mv "$out.new" "$out"
