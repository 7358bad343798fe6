#!/usr/bin/env bash
# The layer check against forbidden includes planted one at a time in a copy
# of the production folders: each must be refused with the planted file
# named, and the untouched copy must pass.
#   tests/layers/check_layers_test.sh [check-layers.sh]
set -uo pipefail
source=$(cd "$(dirname "$0")/../.." && pwd)
check=${1:-$source/scripts/check-layers.sh}
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
for folder in platform emulator transport drive firmware app tools bench; do
  cp -R "$source/$folder" "$tree/" || exit 1
done
mkdir -p "$tree/tests/support"
touch "$tree/tests/support/fakes.h"
failures=0
fail() {
  echo "FAIL: $1"
  failures=$((failures + 1))
}

output=$("$check" "$tree" 2>&1) || fail "the untouched tree is refused: $output"

# Plants `text` in `file` (a new file), runs the check, and expects it to
# refuse with every complaint naming that file.
probe() {
  local file=$1 text=$2
  mkdir -p "$tree/$(dirname "$file")"
  printf '%b\n' "$text" >"$tree/$file"
  if output=$("$check" "$tree" 2>&1); then
    fail "$file with '$text' passes"
  elif [ -z "$output" ] || grep -qv "^${file}:" <<<"$output"; then
    fail "$file with '$text' is refused without naming it alone: $output"
  fi
  rm -f "$tree/$file"
}

qt_headers=("$tree"/app/toolkit/qt/*.h)
qt_header=${qt_headers[0]#"$tree"/}
while IFS='|' read -r file text; do
  [ -n "$file" ] && probe "$file" "$text"
done <<EOF
app/toolkit/win32/probe.cpp|#include "$qt_header"
app/toolkit/probe.h|#include "$qt_header"
transport/probe.h|#include "platform/win32/windows_api.h"
drive/probe.cpp|#include <windows.h>
firmware/probe.cpp|#include "platform/win32/win32_device_layer.h"
app/probe.cpp|#include "platform/linux/sg_device_layer.h"
app/entry/probe.cpp|#include "platform/linux/dl_library_loader.h"
app/toolkit/qt/probe.cpp|#include "platform/linux/linux_system_info.h"
app/entry/win32/probe.cpp|#include "platform/linux/sg_device_layer.h"
firmware/probe.cpp|#include "tests/support/fakes.h"
emulator/probe.cpp|#include <unistd.h>
platform/probe.cpp|#include <sys/stat.h>
transport/probe.cpp|#include <scsi/sg.h>
firmware/probe.cpp|#include <dlfcn.h>
app/probe.cpp|#include <fcntl.h>
app/entry/probe.cpp|#include <pthread.h>
tools/probe.cpp|#include <signal.h>
drive/probe.cpp|#include <csignal>
emulator/aspi_module/probe.cpp|#include <windows.h>
app/toolkit/probe.h|#include <linux/fs.h>
drive/probe.cpp|#include <poll.h>
app/toolkit/win32/probe.cpp|#include <QWidget>
app/probe.cpp|#include <QString>
platform/linux/probe.cpp|#include <QtGlobal>
app/entry/win32/probe.cpp|#include <QApplication>
platform/probe.cpp|#include "app/toolkit/form.h"
emulator/probe.cpp|#include "transport/srb.h"
emulator/aspi_module/probe.cpp|#include "transport/sim_worker.h"
platform/linux/probe.cpp|#include "platform/linux/logind/logind_power.h"
transport/probe.cpp|#include "../platform/win32/windows_api.h"
transport/probe.cpp|#include "../../etc/windows.h"
drive/probe.cpp|#include <platform/win32/windows_api.h>
drive/probe.cpp|#include "windows.h"
drive/probe.cpp|  #  include <windows.h> // spaced
drive/probe.cpp|%:include <windows.h>
drive/probe.cpp|#include \\\\\n<windows.h>
firmware/probe.cpp|#define HEADER <windows.h>\n#include HEADER
drive/win32/probe.cpp|#include <windows.h>
EOF

# A link would show one folder's header under another's name.
ln -s ../platform/win32/windows_api.h "$tree/transport/probe.h"
output=$("$check" "$tree" 2>&1) && fail "a link in transport/ passes"
grep -q "^transport/probe.h" <<<"$output" || fail "the link is not named: $output"
rm -f "$tree/transport/probe.h"

[ $failures = 0 ] && echo "layer check: every probe refused, the tree passes"
exit $((failures > 0))
