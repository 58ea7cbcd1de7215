#!/usr/bin/env bash
# End-to-end benchmark of the FF1 linkage (tavo-cli ff1-link: merge of twelve
# monthly FF1 files, 50 MB in all, then the build of the linkage CSV), against
# `cp -r` of the same folder in the same run. Prints times, the ratio, and the
# peak memory against the folder's size.   usage: bench/bench_ff1.sh BUILD_DIR
set -euo pipefail
BUILD=$(cd "${1:?usage: bench_ff1.sh BUILD_DIR}" && pwd)
CLI=$BUILD/tavo-cli
GEN=$BUILD/bench/gen_ff1_folder
SPEC=$BUILD/siyo4.csv
for p in "$CLI" "$GEN"; do [ -x "$p" ] || { echo "missing $p (build first)"; exit 1; }; done
[ -f "$SPEC" ] || { echo "missing $SPEC"; exit 1; }
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (apt-get install time)"; exit 1; }
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
RUNS=${RUNS:-3}

"$GEN" "$WORK/FF1" 50 --seed 7
FOLDER_BYTES=$(du -sb "$WORK/FF1" | cut -f1)
cat "$WORK"/FF1/* >/dev/null  # both sides start from a warm cache

now() { date +%s%N; }
best_cp=0
best_ff1=0
peak_kb=0
for ((i = 1; i <= RUNS; i++)); do
  rm -rf "$WORK/copy" "$WORK/out"
  t0=$(now)
  cp -r "$WORK/FF1" "$WORK/copy"
  t1=$(now)
  "$CLI" ff1-link --ff1-dir "$WORK/FF1" --spec "$SPEC" --year-month 202412 \
    --out-dir "$WORK/out" >/dev/null 2>"$WORK/err" || { cat "$WORK/err"; exit 1; }
  t2=$(now)
  cp_ns=$((t1 - t0)); ff1_ns=$((t2 - t1))
  if [ "$best_cp" -eq 0 ] || [ "$cp_ns" -lt "$best_cp" ]; then best_cp=$cp_ns; fi
  if [ "$best_ff1" -eq 0 ] || [ "$ff1_ns" -lt "$best_ff1" ]; then best_ff1=$ff1_ns; fi
done
rm -rf "$WORK/out"
/usr/bin/time -v -o "$WORK/time" "$CLI" ff1-link --ff1-dir "$WORK/FF1" --spec "$SPEC" \
  --year-month 202412 --out-dir "$WORK/out" >/dev/null 2>"$WORK/err"
peak_kb=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$WORK/time")
OUT_LINES=$(wc -l <"$WORK/out/202412_ff1all.csv")

awk -v cp="$best_cp" -v ff="$best_ff1" -v kb="$peak_kb" -v bytes="$FOLDER_BYTES" \
  -v lines="$OUT_LINES" -v runs="$RUNS" 'BEGIN {
  printf "FF1 folder: 12 monthly files + recelist.csv, %.1f MB; output %d lines\n", bytes / 1e6, lines
  printf "  %-34s %8.3f s (best of %d)\n", "cp -r (reference)", cp / 1e9, runs
  printf "  %-34s %8.3f s (best of %d)\n", "tavo-cli ff1-link (merge + build)", ff / 1e9, runs
  printf "  ratio ff1-link / cp -r: %.2f   (target <= 10)\n", ff / cp
  printf "  peak memory: %d KB = %.2f x the folder   (target <= 3)\n", kb, kb * 1024 / bytes
}'
