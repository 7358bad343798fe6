#!/usr/bin/env bash
# Start-up of the Windows demo under Wine against a plain Win32 program that
# builds the same controls (bench/win32/startup_bench.cpp), both measured
# from the process's creation until the window is shown and its queue idle.
# Runs the pair ZX_ROUNDS times (default 9) in turn, on a private X server,
# in the x86_64 Release build's prefix, and prints the medians and their ratio.
#   scripts/bench-windows.sh
set -euo pipefail
cd "$(dirname "$0")/.."
here="$PWD"
if [ -z "${ZX_BENCH_IN_XVFB:-}" ]; then
  ZX_SKIP_INSTALL="${ZX_SKIP_INSTALL:-}" scripts/build-windows.sh win64 zx-startup-bench >/dev/null
  export ZX_BENCH_IN_XVFB=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
build="$here/build-win64"
export WINEPREFIX="$build/wine-prefix" WINEDEBUG=-all WINELOADER=/usr/lib/wine/wine64
export WINESERVER=/usr/lib/wine/wineserver64 WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  timeout 300 scripts/wine-run.sh --prefix "$WINEPREFIX" wineboot --init </dev/null >/dev/null 2>&1
fi
# One server for all rounds, so that no round pays for starting it.
"$WINESERVER" -p60 2>/dev/null || true
"$WINELOADER" "$build/bench/win32/zx-startup-bench.exe" same >/dev/null 2>&1 || true
rounds="${ZX_ROUNDS:-9}"
: >"$build/startup-bench.txt"
for _ in $(seq 1 "$rounds"); do
  for mode in demo same; do
    line=$("$WINELOADER" "$build/bench/win32/zx-startup-bench.exe" "$mode" 2>/dev/null | tr -d '\r' | grep '^idle_ms=')
    echo "$mode $line" >>"$build/startup-bench.txt"
  done
done
python3 - "$build/startup-bench.txt" <<'PY'
import re, statistics, sys
times, mains, counts = {}, {}, {}
for line in open(sys.argv[1]):
    mode, rest = line.split(" ", 1)
    m = re.match(r"idle_ms=([\d.]+) main_ms=([\d.]+) controls=(\d+)", rest)
    times.setdefault(mode, []).append(float(m.group(1)))
    mains.setdefault(mode, []).append(float(m.group(2)))
    counts.setdefault(mode, set()).add(int(m.group(3)))
if counts["demo"] != counts["same"]:
    sys.exit(f"the windows differ: demo has {counts['demo']} child windows, the plain one {counts['same']}")
demo, same = statistics.median(times["demo"]), statistics.median(times["same"])
print(f"demo {demo:.1f} ms, same window {same:.1f} ms (medians of {len(times['demo'])}; "
      f"{sorted(counts['demo'])[0]} child windows each): {demo / same:.2f}x")
demo, same = statistics.median(mains["demo"]), statistics.median(mains["same"])
print(f"from main() on: demo {demo:.1f} ms, same window {same:.1f} ms: {demo / same:.2f}x")
PY
