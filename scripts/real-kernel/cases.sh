#!/bin/bash
# The cases inside the guest (scripts/test-real-kernel.sh), in the host's
# tree: the virtual drive on the dummy USB controller, the packed product
# driven by the autopilot of the product tests. Each case appends one
# "CASE name: pass|FAIL (...)" line to $out/verdicts; the drive's command
# log of a run goes to $out/<case>.log for the host to compare.
set -u
out=$1
source "$out/guest.env"
gadget=/sys/kernel/config/usb_gadget/zx
ffs=/dev/ffs-zx
drive_pid=

verdict() { echo "CASE $1: $2" >> "$out/verdicts"; echo "CASE $1: $2"; }
# Waits (in tenths of a second, at most $2 of them) until the test $1 holds.
await() { local n=0; until eval "$1"; do n=$((n + 1)); [ "$n" -le "$2" ] || return 1; sleep 0.1; done; }

# The virtual drive served on the FunctionFS instance, then the UDC bound
# (the host asks for INQUIRY as soon as it sees the device); waits for sg0.
plug() {
  local log=$1; shift
  if [ ! -d "$gadget" ]; then
    mkdir -p "$gadget/strings/0x409" "$gadget/configs/c.1" "$gadget/functions/ffs.zx"
    echo 0x1d6b > "$gadget/idVendor"; echo 0x0104 > "$gadget/idProduct"
    echo "Zorvex" > "$gadget/strings/0x409/manufacturer"; echo "RT-5800B" > "$gadget/strings/0x409/product"
    ln -s "$gadget/functions/ffs.zx" "$gadget/configs/c.1/"
    mkdir -p "$ffs" && mount -t functionfs zx "$ffs"
  fi
  rm -f /tmp/ready
  "$ZX_BUILD/emulator/usb_drive/zorvex-usb-drive" --ffs "$ffs" --command-log "$log" --ready /tmp/ready "$@" \
    2>> "$out/drive.err" &
  drive_pid=$!
  await '[ -f /tmp/ready ]' 100 || return 1
  ls /sys/class/udc > "$gadget/UDC"
  await '[ -c /dev/sg0 ]' 600
}

unplug() {
  echo "" > "$gadget/UDC" 2>/dev/null
  [ -n "$drive_pid" ] && kill "$drive_pid" 2>/dev/null && wait "$drive_pid" 2>/dev/null
  drive_pid=
  await '[ ! -e /dev/sg0 ]' 100
}

# The packed product, run by the autopilot; its output in $out/$1.out.
product() {
  mkdir -p /tmp/xdg && chmod 700 /tmp/xdg
  HOME=/tmp XDG_RUNTIME_DIR=/tmp/xdg QT_QPA_PLATFORM=offscreen LANG=C LD_PRELOAD="$ZX_STANDIN" \
    ZX_SG_STANDIN_AUTOPILOT=1 timeout 600 "$out/zorvex-flash" > "$out/$1.out" 2> "$out/$1.err"
}

# The lines a log gained since it had $2 of them.
since() { tail -n +$(($2 + 1)) "$1"; }

case_whole_flash() {
  local log=/tmp/whole.drive.log
  plug "$log" || { verdict whole-flash "FAIL (no /dev/sg0 appeared)"; return; }
  local before; before=$(wc -l < "$log")
  local start=$SECONDS
  product whole
  local status=$?
  since "$log" "$before" > "$out/whole.log"
  if [ "$status" = 0 ] && grep -q "status Flashing is Completed" "$out/whole.out"; then
    verdict whole-flash "pass (Flashing is Completed in $((SECONDS - start)) s, $(wc -l < "$out/whole.log") commands)"
  else
    verdict whole-flash "FAIL (exit $status: $(tail -2 "$out/whole.out" "$out/whole.err" | tr '\n' ' '))"
  fi
  cp "$log" "$out/whole.drive.log"
  unplug
}

echo "guest: linux $(uname -r), cases start"
case_whole_flash
echo "guest: cases done"
