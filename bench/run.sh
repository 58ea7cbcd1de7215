#!/usr/bin/env bash
# Builds a Release tavo-cli and prints the table of every operation
# (bench/bench_table.sh): peak memory on generated inputs of 100 MB and 1 GB,
# and the ratios to an awk script and to cat, measured in the same run.
#   TAVO_BENCH_SIZES="100"  skips the long 1 GB runs
#   TAVO_BENCH_ALL=1        also runs each subsystem's own benchmark (bench/bench_*.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/deps.sh
tavo_need_packages "${TAVO_BUILD_PACKAGES[@]}" time python3
BUILD=${1:-build/bench}
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DTAVO_WITH_QT=OFF -DTAVO_WITH_TESTS=OFF >/dev/null
cmake --build "$BUILD" -j "$(nproc)"
bash bench/bench_table.sh "$BUILD"
if [ "${TAVO_BENCH_ALL:-0}" = 1 ]; then
  for script in bench/bench_*.sh; do
    [ "$script" = bench/bench_table.sh ] && continue
    echo "== $(basename "$script" .sh) =="
    bash "$script" "$BUILD"
  done
fi
