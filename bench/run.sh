#!/usr/bin/env bash
# Runs every end-to-end benchmark (bench/bench_*.sh) on a Release build and
# prints each one's ratios against its reference, measured in the same run.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/deps.sh
tavo_need_packages "${TAVO_BUILD_PACKAGES[@]}" time python3
BUILD=${1:-build/bench}
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DTAVO_WITH_QT=OFF -DTAVO_WITH_TESTS=OFF >/dev/null
cmake --build "$BUILD" -j "$(nproc)"
for script in bench/bench_*.sh; do
  echo "== $(basename "$script" .sh) =="
  bash "$script" "$BUILD"
done
