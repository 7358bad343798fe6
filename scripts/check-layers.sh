#!/usr/bin/env bash
# Checks the layer rule on every include of the production folders:
#   platform < transport < drive < firmware < app (app/toolkit < app),
# the emulator beside them over platform alone, the entries (app/entry) and
# the tools and the command line (cli) on top. A folder includes its own headers and those of the
# folders its line below names, by exact folder: "platform" lets in
# platform/*.h, never platform/win32/*.h. Beyond the standard C++ headers,
# system headers (<windows.h>, <unistd.h>, <sys/...>, ...) belong to the
# per-system folders alone, and Qt's to the Qt ones.
#   scripts/check-layers.sh [tree]   (default: this repository)
# Prints each offending include as file:line and exits 1; silent and 0 when
# the rule holds.
set -uo pipefail
root=${1:-$(dirname "$0")/..}
cd "$root" || exit 2

# The folders a folder may include from (a file name lets in that header
# alone), whether it may include system headers (os) and Qt's (qt).
core="firmware drive transport platform"
rule() {
  os=0 qt=0
  case "$1" in
    platform) uses="platform" ;;
    platform/linux) uses="platform platform/linux" os=1 ;;
    # logind over Qt D-Bus: a library of its own, linked by the window alone.
    platform/linux/logind) uses="platform platform/linux platform/linux/logind" os=1 qt=1 ;;
    platform/win32) uses="platform platform/win32" os=1 ;;
    platform/win32/runtime) uses="platform platform/win32 platform/win32/runtime" os=1 ;;
    emulator) uses="emulator platform" ;;
    # The loadable stand-in for the system's ASPI library speaks the request blocks.
    emulator/aspi_module) uses="emulator/aspi_module emulator platform transport/srb.h" ;;
    emulator/aspi_module/broken) uses="emulator/aspi_module/broken emulator/aspi_module emulator platform transport/srb.h" ;;
    # The virtual drive on a USB port of Linux's gadget stack: a program of its own.
    emulator/usb_drive) uses="emulator/usb_drive emulator platform" os=1 ;;
    transport) uses="transport platform" ;;
    drive) uses="drive transport platform" ;;
    firmware) uses="$core" ;;
    # The toolkit's interface names no Qt or Win32 type; each back-end talks
    # to its own toolkit, the Win32 one through the platform's Win32 header.
    app/toolkit) uses="app/toolkit platform" ;;
    app/toolkit/qt) uses="app/toolkit/qt app/toolkit platform" os=1 qt=1 ;;
    app/toolkit/win32) uses="app/toolkit/win32 app/toolkit platform platform/win32" os=1 ;;
    app) uses="app app/toolkit $core" ;;
    # The entries pick each system's services; the demo's virtual drives come
    # from the emulator.
    app/entry) uses="app/entry app app/toolkit emulator $core" ;;
    app/entry/linux) uses="app/entry/linux app/entry app app/toolkit emulator $core platform/linux platform/linux/logind" os=1 qt=1 ;;
    app/entry/win32) uses="app/entry/win32 app/entry app app/toolkit emulator $core platform/win32" os=1 ;;
    app/entry/win32/resources) uses="app/entry/win32/resources" os=1 ;;
    tools) uses="tools emulator $core" ;;
    # The command line: a front end on the core beside the window; its
    # entries take the window entries' services and the demo's drive parts,
    # never the window itself.
    cli) uses="cli $core" ;;
    cli/entry) uses="cli/entry cli app/entry emulator $core" ;;
    # logind's inhibitor over Qt D-Bus, with the loop its answers come through.
    cli/entry/linux) uses="cli/entry/linux cli/entry cli $core platform/linux platform/linux/logind" os=1 qt=1 ;;
    cli/entry/win32) uses="cli/entry/win32 cli/entry cli $core platform/win32" os=1 ;;
    # The benchmarks are built on Linux only (with the window), bench/win32
    # on Windows only.
    bench) uses="bench app/entry app app/toolkit emulator $core platform/linux" os=1 qt=1 ;;
    bench/win32) uses="bench/win32 app/entry app app/toolkit emulator $core platform/win32" os=1 ;;
    *) return 1 ;;
  esac
}

# The C++ standard library's headers and the C library's in their C++ form;
# signals and long jumps are the system's business, not the core's.
standard=" algorithm any array atomic barrier bit bitset cassert cctype cerrno cfenv cfloat charconv chrono
 cinttypes climits clocale cmath codecvt compare complex concepts condition_variable coroutine cstdarg cstddef
 cstdint cstdio cstdlib cstring ctime cuchar cwchar cwctype deque exception execution expected filesystem format
 forward_list fstream functional future initializer_list iomanip ios iosfwd iostream istream iterator latch
 limits list locale map memory memory_resource mutex new numbers numeric optional ostream queue random ranges
 ratio regex scoped_allocator semaphore set shared_mutex source_location span sstream stack stdexcept stop_token
 streambuf string string_view syncstream system_error thread tuple type_traits typeindex typeinfo
 unordered_map unordered_set utility valarray variant vector version "
standard=${standard//$'\n'/ }

# `path` with "." and ".." worked out, in $normal (no subshell: this runs
# for every include); fails when it leaves the tree.
normal() {
  local IFS=/ part parts out=()
  read -ra parts <<<"$1"
  for part in "${parts[@]}"; do
    case "$part" in
      "" | .) ;;
      ..) [ ${#out[@]} -gt 0 ] || return 1; unset 'out[${#out[@]}-1]' ;;
      *) out+=("$part") ;;
    esac
  done
  normal="${out[*]}"
}

status=0
refuse() {
  echo "$1: includes $2: $3"
  status=1
}

# A link could show a header of one folder under the name of another.
while IFS= read -r link; do
  refuse "$link" "nothing" "a symbolic link, which the check cannot place in a layer"
done < <(find platform emulator transport drive firmware app cli tools bench -type l 2>/dev/null)

# Every include directive (lines joined at a trailing backslash, digraph
# spelling too) as file, line, form and name.
includes() {
  find platform emulator transport drive firmware app cli tools bench -type f -print0 2>/dev/null |
    xargs -0 -r grep -IlZE '^[[:space:]]*(#|%:)' -- | xargs -0 -r awk '
      FNR == 1 { joined = ""; start = 0 }
      {
        if (joined == "") start = FNR
        joined = joined $0
        if (joined ~ /\\$/) { joined = substr(joined, 1, length(joined) - 1); next }
        line = joined; joined = ""
        if (line !~ /^[ \t]*(#|%:)[ \t]*include/) next
        sub(/^[ \t]*(#|%:)[ \t]*include/, "", line)
        if (line ~ /^[ \t]*</) { form = "<"; sub(/^[ \t]*</, "", line); sub(/>.*/, "", line) }
        else if (line ~ /^[ \t]*"/) { form = "\""; sub(/^[ \t]*"/, "", line); sub(/".*/, "", line) }
        else { form = "?"; sub(/^[ \t]*/, "", line) }
        print FILENAME "\t" start "\t" form "\t" line
      }'
}

while IFS=$'\t' read -r file line form name; do
  where="$file:$line"
  folder=${file%/*}
  shown="<$name>"
  [ "$form" = '"' ] && shown="\"$name\""
  if ! rule "$folder"; then
    refuse "$where" "$shown" "$folder/ is not in the layer map (scripts/check-layers.sh)"
    continue
  fi
  if [ "$form" = "?" ]; then
    refuse "$where" "$name" "a computed include, which the check cannot follow"
    continue
  fi
  # A quoted name is looked for beside the including file first; any name
  # under one of the tree's folders is the project's, found or not.
  target=""
  if [ "$form" = '"' ] && normal "$folder/$name" && [ -e "$normal" ]; then
    target=$normal
  elif ! normal "$name"; then
    refuse "$where" "$shown" "a header outside the tree"
    continue
  elif [[ "$normal" == */* && -d "${normal%%/*}" ]] || [ -f "$normal" ]; then
    target=$normal
  fi
  if [ -n "$target" ]; then
    fine=0
    for allowed in $uses; do
      if [ "${target%/*}" = "$allowed" ] || [ "$target" = "$allowed" ]; then fine=1; break; fi
    done
    [ $fine = 1 ] || refuse "$where" "$shown" "${target%/*}/ is not among what $folder/ may use ($uses)"
  elif [[ "$standard" == *" $name "* ]]; then
    :
  elif [[ "$name" == Q* ]]; then
    [ $qt = 1 ] || refuse "$where" "$shown" "Qt outside the Qt folders (app/toolkit/qt, platform/linux/logind, app/entry/linux, cli/entry/linux)"
  else
    [ $os = 1 ] || refuse "$where" "$shown" "a system header outside the per-system folders (platform/<system>, app/toolkit/<back-end>, app/entry/<system>, cli/entry/<system>)"
  fi
done < <(includes)
exit $status
