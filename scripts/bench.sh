#!/usr/bin/env bash
# Installs what is needed, builds the benchmarks in Release (build-bench/)
# and runs them, printing a table of each path against its baseline.
#   scripts/bench.sh [--quick] [--json FILE]
#   --quick      tiny counts: only checks that every benchmark runs (CI)
#   --json FILE  also writes the figures as one JSON object
# ZX_SKIP_INSTALL=1 skips the package installation. ZX_BENCH_DIR names the
# build folder (default build-bench/): any Release build without the tests
# will do, so CI reuses the package check's (build-package/) and compiles
# only the benchmark itself.
set -euo pipefail
caller="$PWD"  # a relative --json FILE is the caller's
cd "$(dirname "$0")/.."
repo="$PWD"
if [ "${ZX_SKIP_INSTALL:-0}" != "1" ]; then scripts/install-deps.sh; fi
dir="${ZX_BENCH_DIR:-build-bench}"
# A new folder gets the compiler cache; an existing one keeps its settings,
# since a changed compile command would rebuild everything in it.
launcher=()
if [ ! -f "$dir/CMakeCache.txt" ] && command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DZX_BENCH=ON \
  "${launcher[@]}" >/dev/null
ninja -C "$dir" zx-bench
case "$dir" in /*) bench="$dir/bench/zx-bench" ;; *) bench="$repo/$dir/bench/zx-bench" ;; esac
cd "$caller"
QT_QPA_PLATFORM=offscreen "$bench" "$@"
