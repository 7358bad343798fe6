#!/bin/bash
# The cases inside the guest (scripts/test-real-kernel.sh), in the host's
# tree: the virtual drive on the dummy USB controller, the packed product
# driven by the autopilot of the product tests. Each case appends one
# "CASE name: pass|FAIL (...)" line to $out/verdicts and keeps the drive's
# command log of its run as $out/<case>.log. A run's log is compared with the
# Linux demo's ($out/demo.log, the same container): equal line for line
# means every command reached the drive once, in the demo's order.
set -u
out=$1
source "$out/guest.env"
gadget=/sys/kernel/config/usb_gadget/zx
ffs=/dev/ffs-zx
drive_pid=
pid=

verdict() { echo "CASE $1: $2" | tee -a "$out/verdicts"; }
# Waits (in tenths of a second, at most $2 of them) until the test $1 holds.
await() { local n=0; until eval "$1"; do n=$((n + 1)); [ "$n" -le "$2" ] || return 1; sleep 0.1; done; }
lines() { wc -l < "$1"; }

# The virtual drive served on the FunctionFS instance, then the UDC bound
# (the host asks for INQUIRY as soon as it sees the device); waits for sg0.
# The arguments after the log go to the drive.
plug() {
  local log=$1; shift
  if [ ! -d "$gadget" ]; then
    mkdir -p "$gadget/strings/0x409" "$gadget/configs/c.1" "$gadget/functions/ffs.zx"
    echo 0x1d6b > "$gadget/idVendor"; echo 0x0104 > "$gadget/idProduct"
    echo "Zorvex" > "$gadget/strings/0x409/manufacturer"; echo "RT-5800B" > "$gadget/strings/0x409/product"
    ln -s "$gadget/functions/ffs.zx" "$gadget/configs/c.1/"
    mkdir -p "$ffs" && mount -t functionfs zx "$ffs"
  fi
  rm -f /tmp/ready "$log"
  "$ZX_BUILD/emulator/usb_drive/zorvex-usb-drive" --ffs "$ffs" --command-log "$log" --ready /tmp/ready "$@" \
    2> /tmp/drive.err &
  drive_pid=$!
  await '[ -f /tmp/ready ]' 300 || return 1
  ls /sys/class/udc > "$gadget/UDC"
  await '[ -c /dev/sg0 ] && [ -e /sys/class/scsi_generic/sg0/device/generic ]' 600
}

unplug_udc() { echo "" > "$gadget/UDC" 2>/dev/null; await '[ ! -e /dev/sg0 ]' 300; }

unplug() {
  unplug_udc
  [ -n "$drive_pid" ] && kill "$drive_pid" 2>/dev/null && wait "$drive_pid" 2>/dev/null
  drive_pid=
}

# The packed product in the background, run by the autopilot; its pid in
# $pid, its output in $out/$1.out and .err.
start_product() {
  mkdir -p /tmp/xdg && chmod 700 /tmp/xdg
  (HOME=/tmp XDG_RUNTIME_DIR=/tmp/xdg QT_QPA_PLATFORM=offscreen LANG=C LD_PRELOAD="$ZX_STANDIN" \
    ZX_SG_STANDIN_AUTOPILOT=1 exec "$out/zorvex-flash" > "$out/$1.out" 2> "$out/$1.err") &
  pid=$!
}

# Waits for the product's end (continuing it, should it have put off a stop
# until its run was over); its exit status, or 124 if it did not end.
finish_product() {
  local n=0
  while kill -0 "$pid" 2>/dev/null; do
    kill -CONT "$pid" 2>/dev/null
    n=$((n + 1)); [ "$n" -le 1200 ] || { kill -KILL "$pid"; wait "$pid"; return 124; }
    sleep 0.5
  done
  wait "$pid"
}

# Waits until the drive's log holds $2 lines beyond $3, or the product ended.
await_commands() { await "[ \$(lines $1) -ge $(($2 + $3)) ] || ! kill -0 $pid 2>/dev/null" 6000; }

# The lines the log $1 gained beyond its first $2, into $out/$3.log.
keep_run() { tail -n +$(($2 + 1)) "$1" > "$out/$3.log"; cp /tmp/drive.err "$out/$3.drive.err"; }

# A run's log as "<n> <line>" for each command the kernel sent itself, n
# being the number of the program's commands before it (the program sends
# nothing but the demo's commands, in the demo's order); "MISSING" if some
# of the program's never came.
kernel_lines() {
  awk 'NR == FNR { want[++n] = $0; next } i < n && $0 == want[i + 1] { i++; next } { print i + 0, $0 } END { if (i != n) print "MISSING", n - i }' \
    "$out/demo.log" "$out/$1.log"
}
# The program's commands equal the demo's, line for line, and the kernel's
# own (the checks for media events and the release of the door as the
# program takes and lets go of the drive's block node) came only before the
# run's first command or after its last.
same_as_demo() {
  local first; first=$(grep -n -m1 'cdb=cc01' "$out/demo.log" | cut -d: -f1)
  kernel_lines "$1" | awk -v first="$first" -v n="$(lines "$out/demo.log")" \
    '$1 == "MISSING" || ($1 >= first && $1 < n) { bad = 1 } END { exit bad }'
}
# For a verdict: how many commands the kernel sent itself.
kernel_said() { echo "the kernel's own commands around the run: $(kernel_lines "$1" | wc -l)"; }
said() { grep -q "$2" "$out/$1.out" "$out/$1.err"; }
# Seconds since the epoch, with tenths.
now() { date +%s.%1N; }
took() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", b - a }'; }

case_whole_flash() {
  local log=/tmp/drive.log
  plug "$log" || { verdict whole-flash "FAIL (no /dev/sg0 appeared)"; return; }
  local before; before=$(lines "$log")
  local start=$SECONDS
  start_product whole
  finish_product
  local status=$?
  keep_run "$log" "$before" whole
  if [ "$status" = 0 ] && said whole "status Flashing is Completed" && same_as_demo whole; then
    verdict whole-flash "pass (Flashing is Completed in $((SECONDS - start)) s; the program's commands in the drive's log equal the demo's, $(lines "$out/demo.log") commands; $(kernel_said whole))"
  else
    verdict whole-flash "FAIL (exit $status; log same as the demo's: $(same_as_demo whole && echo yes || echo no))"
  fi
  head -n "$before" "$log" > "$out/scan.log"
  unplug
}

# Stopped by SIGSTOP for 6 s mid-erase and mid-program (during the first
# stop a second copy starts and sg_inq asks the node), and by Ctrl+Z
# (SIGTSTP) at the next erase and program: each command reached the drive
# once and the run completed. Positions count the run's commands (65).
case_stops() {
  local log=/tmp/drive.log
  plug "$log" --latency erase:1000 --latency program:600 || { verdict stops "FAIL (no /dev/sg0)"; return; }
  local before; before=$(lines "$log")
  start_product stops
  local at signal problems=""
  for at in 24:STOP 26:TSTP 35:STOP 37:TSTP; do
    signal=${at#*:}; at=${at%:*}
    await_commands "$log" "$at" "$before"
    kill -"$signal" "$pid"
    if [ "$signal" = STOP ]; then
      if [ "$at" = 24 ]; then
        local held; held=$(lines "$log")
        timeout 120 env HOME=/tmp XDG_RUNTIME_DIR=/tmp/xdg QT_QPA_PLATFORM=offscreen LANG=C LD_PRELOAD="$ZX_STANDIN" \
          ZX_SG_STANDIN_AUTOPILOT=1 "$out/zorvex-flash" > "$out/second.out" 2> "$out/second.err"
        grep -q "not found" "$out/second.out" || problems+=" the second copy found a drive;"
        grep -q "/dev/sg0 is in use by process $pid" "$out/second.err" || problems+=" the second copy did not name the holder;"
        if timeout 60 sg_inq /dev/sg0 > "$out/sg_inq.out" 2>&1; then problems+=" sg_inq reached the drive;"; fi
        [ "$(lines "$log")" = "$held" ] || problems+=" a command reached the drive during the stop;"
      fi
      sleep 6
    else
      sleep 1
    fi
    kill -CONT "$pid"
  done
  finish_product
  local status=$?
  keep_run "$log" "$before" stops
  if [ "$status" = 0 ] && said stops "status Flashing is Completed" && same_as_demo stops && [ -z "$problems" ]; then
    verdict stops "pass (SIGSTOP 6 s mid-erase and mid-program, SIGTSTP mid-erase and mid-program: each command reached the drive once; a second copy and sg_inq sent nothing)"
  else
    verdict stops "FAIL (exit $status; log same as the demo's: $(same_as_demo stops && echo yes || echo no);$problems)"
  fi
  unplug
}

# The first erase never completes: the program gives up at its 50 s wait and
# says "Flashing Error" (its window still answering: the autopilot reads it
# and closes it); the kernel's own time-out and usb-storage's reset come
# later; no command of the program reaches the drive after the erase. The
# process itself ends only after the reset: letting go of the drive's block
# node makes the kernel release the door, behind the erase.
case_time_out() {
  local log=/tmp/drive.log
  plug "$log" --hang erase:1 || { verdict time-out "FAIL (no /dev/sg0)"; return; }
  local before; before=$(lines "$log")
  start_product time-out
  await_commands "$log" 24 "$before"
  local sent; sent=$(now)
  await "grep -q 'Flashing Error' '$out/time-out.out'" 1500
  local shown; shown=$(now)
  finish_product
  local status=$? ended; ended=$(now)
  await 'grep -q reset /tmp/drive.err' 3000
  local reset; reset=$(now)
  sleep 2  # what the kernel sends after the reset reaches the log
  keep_run "$log" "$before" time-out
  local vendor_after; vendor_after=$(awk '/cdb=cb04/ { erase = NR } erase && NR > erase && /cdb=c[bc]/' "$out/time-out.log" | wc -l)
  local steps="the program gave up and said Flashing Error $(took "$sent" "$shown") s after the erase was sent and ended $(took "$sent" "$ended") s after it; the drive saw the host's reset $(took "$sent" "$reset") s after it"
  if [ "$status" = 0 ] && said time-out "status .*Flashing Error" && grep -q reset /tmp/drive.err &&
    awk -v t="$(took "$sent" "$shown")" 'BEGIN { exit !(t < 60) }' &&
    [ "$(grep -c 'cdb=cb04' "$out/time-out.log")" = 1 ] && [ "$vendor_after" = 0 ] &&
    [ "$(head -24 "$out/demo.log")" = "$(grep -E 'cdb=(12|c[bc])' "$out/time-out.log" | head -24)" ]; then
    verdict time-out "pass ($steps; nothing sent again)"
  else
    verdict time-out "FAIL (exit $status; $steps; vendor commands after the erase: $vendor_after)"
  fi
  unplug
}

# The device unplugged (the UDC unbound) mid-program: "Flashing Error", the
# program ends; then a start-up with no device says no drive was found.
case_unplug() {
  local log=/tmp/drive.log
  plug "$log" --latency program:600 || { verdict unplug "FAIL (no /dev/sg0)"; return; }
  local before; before=$(lines "$log")
  start_product unplug
  await_commands "$log" 36 "$before"
  unplug_udc
  finish_product
  local status=$?
  keep_run "$log" "$before" unplug
  unplug
  start_product gone
  finish_product
  local gone=$?
  if [ "$status" = 0 ] && said unplug "status .*Flashing Error" && [ "$gone" = 0 ] && said gone "status Target drive is not found"; then
    verdict unplug "pass (Flashing Error after the unplug; a start-up without the device: no drive found)"
  else
    verdict unplug "FAIL (exit $status, then $gone without the device)"
  fi
}

# The kernel's own traffic during a run, as on a desktop: block-event polling
# every 2 s and a program probing /dev/sr0 late in the run. The run must complete
# with the program's commands each sent once, in the demo's order. While the
# program holds the drive's block node the polling stops, and the probe's
# open sends neither START STOP UNIT (a tray load) nor PREVENT ALLOW: from
# the run's first command to the probe near its end (the erases and
# programs, several poll intervals) the kernel sends nothing. What came between the program's commands is
# listed in $out/kernel-traffic.txt.
case_kernel_traffic() {
  local log=/tmp/drive.log
  echo 2000 > /sys/module/block/parameters/events_dfl_poll_msecs
  plug "$log" --latency erase:500 --latency program:300 || { verdict kernel-traffic "FAIL (no /dev/sg0)"; return; }
  local before; before=$(lines "$log")
  start_product kernel-traffic
  await_commands "$log" 60 "$before"
  timeout 60 dd if=/dev/sr0 of=/dev/null bs=2048 count=1 > "$out/sr0-probe.out" 2>&1
  finish_product
  local status=$?
  keep_run "$log" "$before" kernel-traffic
  echo 0 > /sys/module/block/parameters/events_dfl_poll_msecs
  kernel_lines kernel-traffic | sed 's/^\([0-9]*\) /between command \1 and the next: /' > "$out/kernel-traffic.txt"
  local first; first=$(grep -n -m1 'cdb=cc01' "$out/demo.log" | cut -d: -f1)
  local early; early=$(awk -v first="$first" '$3 >= first && $3 < 50' "$out/kernel-traffic.txt" | wc -l)
  local tray; tray=$(awk -v first="$first" -v n="$(lines "$out/demo.log")" '$3 >= first && $3 < n && / cdb=1[be]/' "$out/kernel-traffic.txt" | wc -l)
  local kinds; kinds=$(sed -n 's/.* cdb=\(..\).*/\1/p' "$out/kernel-traffic.txt" | sort | uniq -c | tr -s ' \n' ' ')
  if [ "$status" = 0 ] && said kernel-traffic "status Flashing is Completed" && ! grep -q MISSING "$out/kernel-traffic.txt" &&
    [ "$early" = 0 ] && [ "$tray" = 0 ]; then
    verdict kernel-traffic "pass (the run completed, each of its commands once, in order; no poll before the probe, no tray load or door command in the run; the kernel's commands in all, by opcode:$kinds)"
  else
    verdict kernel-traffic "FAIL (exit $status; $early of the kernel's commands before the probe, $tray tray or door commands in the run; $(grep MISSING "$out/kernel-traffic.txt"))"
  fi
  unplug
}

# The figure (not a check, and not in CI): the whole run's command time in
# the program (its trace's per-command times, submission to completion)
# against a plain C loop sending the same commands through sg the same way.
case_figure() {
  local log=/tmp/drive.log
  plug "$log" --data-out /tmp/data-out || { verdict figure "FAIL (no /dev/sg0)"; return; }
  ZORVEX_FLASH_TRACE=/tmp/figure.trace start_product figure
  finish_product
  local status=$?
  local program; program=$(grep '"event":"command"' /tmp/figure.trace | grep -v '"status":130' |
    sed 's/.*"t":\([0-9]*\).*"ms":\([0-9]*\).*/\1 \2/' |
    awk 'NR == 1 { first = $1 } { s += $2; last = $1 + $2 } END { printf "%d commands: %d ms in all, %d ms from the first to the last", NR, s, last - first }')
  unplug
  plug "$log" || { verdict figure "FAIL (no /dev/sg0 the second time)"; return; }
  local loop; loop=$("$out/sg_command_loop" "$out/demo.log" /tmp/data-out /dev/sg0)
  unplug
  if [ "$status" = 0 ] && [ -n "$program" ] && [ -n "$loop" ]; then
    verdict figure "pass (the program: $program; the C loop: $loop)"
  else
    verdict figure "FAIL (exit $status; program $program ms; loop $loop)"
  fi
}

echo "guest: linux $(uname -r), cases start"
for name in $ZX_CASES; do "case_$name"; done
echo "guest: cases done"
