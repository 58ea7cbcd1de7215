#!/usr/bin/env bash
# Benchmark of the output move (confirmation window) against a plain
# copy-and-delete of the same files, measured in the same run; prints the
# ratio per size and the peak memory of the whole run.
#   usage: bench/bench_app.sh BUILD_DIR
set -euo pipefail
BUILD=$(cd "${1:?usage: bench_app.sh BUILD_DIR}" && pwd)
BIN=$BUILD/bench/output_folder_bench
[ -x "$BIN" ] || { echo "missing $BIN (build first)"; exit 1; }
OUT=$(mktemp)
trap 'rm -f "$OUT" "$OUT.time"' EXIT
/usr/bin/time -v -o "$OUT.time" "$BIN" --benchmark_format=csv >"$OUT" 2>/dev/null
awk -F, '/^"BM_/ { gsub(/"/, "", $1); split($1, n, "/"); t[n[1] "/" n[2]] = $4; s[n[2]] = 1 }
  END { for (size in s) {
          m = t["BM_MoveOutputs/" size]; r = t["BM_CopyAndDeleteReference/" size];
          printf "  2 files of %6.1f MB: move %8.2f ms, copy+delete %8.2f ms, ratio %.2f\n",
                 size / 1048576, m, r, (r > 0 ? m / r : 0) } }' "$OUT" | sort -k4 -n
awk -F': ' '/Maximum resident set size/ { printf "  peak memory %d KB\n", $2 }' "$OUT.time"
