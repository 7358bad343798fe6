#!/usr/bin/env bash
# Checks that the i686 programs load on Windows 98 and NT 4.0: reads each
# shipped PE file with objdump -p and fails on
#   - an imported DLL other than the seven below;
#   - an imported function not in scripts/windows-imports.allow (functions
#     that Windows 98 and NT 4.0 both export; for msvcrt.dll, what Windows
#     98's msvcrt.dll exports);
#   - an operating-system or subsystem version above 4.0 (the 95/98/Me
#     loader refuses a higher subsystem version).
# Prints every file's imports, one "dll function" a line, and every fault.
#   scripts/check-windows-imports.sh [BUILD_DIR]   the shipped files of BUILD_DIR (default build-win32)
#   scripts/check-windows-imports.sh --files PE... chosen files
#   scripts/check-windows-imports.sh --self-test   shows that it refuses forbidden input
set -euo pipefail
cd "$(dirname "$0")/.."

allow_file=scripts/windows-imports.allow
objdump=${ZX_OBJDUMP:-i686-w64-mingw32-objdump}
allowed_dlls="kernel32.dll user32.dll gdi32.dll advapi32.dll comctl32.dll comdlg32.dll msvcrt.dll"

# objdump -p text on stdin -> "version <field> <value>" and "import <dll> <function>" lines.
parse_dump() {
  awk '
    /^Major(OSystem|Subsystem)Version|^Minor(OSystem|Subsystem)Version/ { print "version", $1, $2; next }
    /^[ \t]*DLL Name:/ { dll = tolower($3); inlist = 0; print "dll", dll; next }
    dll != "" && /Hint\/Ord/ { inlist = 1; next }
    inlist && NF == 0 { inlist = 0; dll = ""; next }
    inlist && NF >= 3 { print "import", dll, $3; next }
    inlist && NF == 2 { print "import", dll, "ordinal:" $2; next }
  '
}

# Checks one file's objdump text (stdin) against the rules; prints each
# fault as "<name>: ..." and returns 1 when there was one.
check_dump() {
  local name="$1" parsed faults=0 kind a b
  parsed=$(parse_dump)
  if ! grep -q '^version MajorSubsystemVersion' <<<"$parsed"; then
    echo "$name: no PE header found"
    return 1
  fi
  while read -r kind a b; do
    case "$kind" in
      version)
        if { [[ $a == Major* ]] && [ "$b" -gt 4 ]; } || { [[ $a == Minor* ]] && [ "$b" -ne 0 ]; }; then
          echo "$name: $a is $b; Windows 95/98/Me and NT 4.0 need 4.0"
          faults=1
        fi
        ;;
      dll)
        if [[ " $allowed_dlls " != *" $a "* ]]; then
          echo "$name: imports $a, which is not one of: $allowed_dlls"
          faults=1
        fi
        ;;
      import)
        echo "  $a $b"
        if ! awk -F'|' -v dll="$a" -v fn="$b" '
               /^[ \t]*#/ || NF < 5 { next }
               { gsub(/^[ \t]+|[ \t]+$/, "", $1); gsub(/^[ \t]+|[ \t]+$/, "", $2) }
               tolower($1) == dll && $2 == fn { found = 1; exit }
               END { exit !found }' "$allow_file"; then
          echo "$name: imports $a $b, which is not in $allow_file"
          faults=1
        fi
        ;;
    esac
  done <<<"$parsed"
  return "$faults"
}

check_file() {
  local file="$1"
  [ -f "$allow_file" ] || { echo "$allow_file is missing"; return 1; }
  [ -f "$file" ] || { echo "$file is missing: build it first (scripts/build-windows.sh win32)"; return 1; }
  echo "$file:"
  "$objdump" -p "$file" | check_dump "$file"
}

self_test() {
  local good bad out
  allow_file=$(mktemp)
  trap 'rm -f "$allow_file"' RETURN
  echo 'kernel32.dll | CreateEventA | 95 | NT 3.1 | test' >"$allow_file"
  good=$'MajorOSystemVersion\t4\nMinorOSystemVersion\t0\nMajorSubsystemVersion\t4\nMinorSubsystemVersion\t0\n'
  good+=$'\tDLL Name: KERNEL32.dll\n\tvma:  Hint/Ord Member-Name Bound-To\n\t5e1c\t  215  CreateEventA\n\n'
  check_dump good <<<"$good" >/dev/null || { echo "self-test: a clean file was refused" >&2; return 1; }
  bad=${good/MajorSubsystemVersion$'\t'4/MajorSubsystemVersion$'\t'5}
  bad+=$'\tDLL Name: libwinpthread-1.dll\n\tvma:  Hint/Ord Member-Name Bound-To\n\t5f00\t  1  pthread_create\n\n'
  bad+=$'\tDLL Name: KERNEL32.dll\n\tvma:  Hint/Ord Member-Name Bound-To\n\t5f20\t  2  GetTickCount64\n\n'
  if out=$(check_dump bad <<<"$bad"); then
    echo "self-test: a forbidden file passed" >&2
    return 1
  fi
  local want
  for want in "MajorSubsystemVersion is 5" "imports libwinpthread-1.dll" "kernel32.dll GetTickCount64, which is not"; do
    grep -q "$want" <<<"$out" || { echo "self-test: no fault \"$want\" in:"$'\n'"$out" >&2; return 1; }
  done
  echo "self-test: passed"
}

files=()
case "${1:-}" in
  --self-test) self_test; exit ;;
  --files) shift; files=("$@") ;;
  *)
    build="${1:-build-win32}"
    # What the download ships (the product, its command line), the demos and
    # the packer the README offers, and the virtual ASPI library the demos load.
    files=("$build/app/entry/zorvex-flash.exe" "$build/app/entry/zorvex-flash-demo.exe"
           "$build/cli/zorvex-flash-cli.exe" "$build/cli/zorvex-flash-cli-demo.exe"
           "$build/tools/zx-pack.exe" "$build/aspi/good/wnaspi32.dll")
    ;;
esac
status=0
for file in "${files[@]}"; do
  check_file "$file" || status=1
done
if [ "$status" -ne 0 ]; then echo "Windows import check: FAILED" >&2; else echo "Windows import check: passed"; fi
exit "$status"
