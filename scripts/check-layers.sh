#!/usr/bin/env bash
# Checks the layer rule: each folder includes only its own headers and those
# of the layers below it, and nothing below the window includes Qt; nor does
# the toolkit's interface (app/toolkit/*.h), only its Qt back-end
# (app/toolkit/qt/), so that app/ builds with the Win32 back-end too.
#   platform < transport < drive < firmware < app (app/toolkit < app)
# The emulator uses platform's declarations only (its loadable ASPI module
# also the request blocks); platform/linux/logind is the one
# platform service over Qt D-Bus, linked by the window alone.
# Prints each offending line and exits 1; silent and 0 when the rule holds.
set -uo pipefail
cd "$(dirname "$0")/.."

allowed() {
  case "$1" in
    platform/linux/logind) echo "platform" ;;
    platform | platform/linux | platform/win32) echo "platform" ;;
    # The loadable stand-in for the system's ASPI library speaks the request blocks.
    emulator/aspi_module*) echo "emulator platform transport/srb.h" ;;
    emulator) echo "emulator platform" ;;
    transport) echo "transport platform" ;;
    drive) echo "drive transport platform" ;;
    firmware) echo "firmware drive transport platform" ;;
    app/toolkit) echo "app/toolkit platform" ;;
    app/toolkit/qt) echo "app/toolkit platform" ;;
    app/toolkit/win32) echo "app/toolkit platform" ;;
    *) echo "" ;;
  esac
}

status=0
for folder in platform platform/linux platform/win32 platform/linux/logind emulator emulator/aspi_module emulator/aspi_module/broken \
  transport drive firmware app/toolkit app/toolkit/qt app/toolkit/win32; do
  ok=$(allowed "$folder")
  for file in "$folder"/*.h "$folder"/*.cpp; do
    [ -e "$file" ] || continue
    while IFS= read -r line; do
      include=${line#*\"}
      include=${include%%\"*}
      fine=0
      for layer in $ok; do
        case "$include" in "$layer" | "$layer"/*) fine=1 ;; esac
        # A folder's own sub-folder is another library (platform/linux/logind).
        if [ "$layer" = platform ] && [ "$folder" != platform/linux/logind ]; then
          case "$include" in platform/linux/logind/*) fine=0 ;; esac
        fi
        [ $fine = 1 ] && break
      done
      if [ $fine = 0 ]; then
        echo "$file: includes \"$include\" from a layer above or beside it"
        status=1
      fi
    done < <(grep -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file")
    if [ "$folder" != platform/linux/logind ] && [ "$folder" != app/toolkit/qt ] &&
      grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<Q' "$file" >/dev/null; then
      echo "$file: includes a Qt header below the window"
      status=1
    fi
  done
done
exit $status
