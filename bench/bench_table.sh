#!/usr/bin/env bash
# The table of every operation: tavo-cli on generated inputs of 100 MB and
# 1 GB, against an awk script (awk + sort for the checkup import) doing the
# same job on the same input, and against cat of the same input, all measured
# in this run. Prints wall and CPU seconds (best of the runs), the peak memory
# of tavo-cli, the speed-up over awk (target >= 2) and the multiple of cat
# (target <= 5), the targets on the wall time.
#   usage: bench/bench_table.sh BUILD_DIR
#   TAVO_BENCH_SIZES="100"  sizes in MB (default "100 1000"; the 1 GB runs are long)
#   TAVO_BENCH_RUNS=5       runs per command at 100 MB (three at larger sizes: on the
#                           test machine the system time of writing a gigabyte through a
#                           program's own buffer varies up to fourfold from run to run)
#   TAVO_BENCH_ONLY=REGEX   measures only the operations whose name matches
set -euo pipefail
trap 'echo "bench_table.sh: a command failed at line $LINENO" >&2' ERR
BUILD=$(cd "${1:?usage: bench_table.sh BUILD_DIR}" && pwd)
CLI=$BUILD/tavo-cli
BENCH_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)  # the awk references
G=$BUILD/bench
SPEC=$BUILD/siyo4.csv
for p in "$CLI" "$G/gen_receipts" "$G/gen_ff_positional" "$G/gen_ff_itemcode" "$G/gen_ff1_folder" \
  "$G/gen_replace" "$G/gen_postal" "$G/time_run"; do
  [ -x "$p" ] || { echo "missing $p (build first)"; exit 1; }
done
SIZES=${TAVO_BENCH_SIZES:-100 1000}
# Inputs go under the build folder (1 GB each) and are deleted after each operation.
DATA=$BUILD/bench-data
rm -rf "$DATA"
mkdir -p "$DATA"
trap 'rm -rf "$DATA"' EXIT
export LC_ALL=C
IN=$DATA/in
OUT=$DATA/out
W=$DATA/times
mkdir -p "$W"
TABLE=$DATA/table
: >"$TABLE"

# run NAME RUNS CMD...: the best wall and CPU (user + system) seconds and the
# largest peak resident size (KB) of RUNS runs, into $W/NAME.{s,cpu,kb}.
run() {
  local name=$1 runs=$2; shift 2
  local best_s="" best_cpu="" peak=0
  for ((i = 0; i < runs; i++)); do
    rm -rf "$OUT" && mkdir -p "$OUT"
    # Earlier outputs written back first, so that no run pays for another's.
    sync
    "$G/time_run" "$W/$name.time" "$@" 2>"$W/$name.err" || {
      echo "$name failed:"; cat "$W/$name.err"; exit 1; }
    read -r s u sy kb <"$W/$name.time"
    local cpu
    cpu=$(awk -v u="$u" -v s="$sy" 'BEGIN { print u + s }')
    if [ -z "$best_s" ] || awk -v a="$s" -v b="$best_s" 'BEGIN { exit !(a < b) }'; then best_s=$s; fi
    if [ -z "$best_cpu" ] || awk -v a="$cpu" -v b="$best_cpu" 'BEGIN { exit !(a < b) }'; then best_cpu=$cpu; fi
    if [ "$kb" -gt "$peak" ]; then peak=$kb; fi
  done
  echo "$best_s" >"$W/$name.s"
  echo "$best_cpu" >"$W/$name.cpu"
  echo "$peak" >"$W/$name.kb"
}

# record OP MB: one table line from the runs named tavo, awk and cat.
record() {
  local bytes
  bytes=$(du -sb "$IN" | cut -f1)
  awk -v op="$1" -v size="$2" -v mb="$(awk -v b="$bytes" 'BEGIN { printf "%.0f", b / 1e6 }')" \
    -v ts="$(cat "$W/tavo.s")" -v tc="$(cat "$W/tavo.cpu")" -v kb="$(cat "$W/tavo.kb")" \
    -v as="$(cat "$W/awk.s")" -v ac="$(cat "$W/awk.cpu")" \
    -v cs="$(cat "$W/cat.s")" -v cc="$(cat "$W/cat.cpu")" 'BEGIN {
      if (ts <= 0) ts = 0.001; if (tc <= 0) tc = 0.001; if (cs <= 0) cs = 0.001; if (cc <= 0) cc = 0.001
      printf "%s|%s|%s|%.3f|%.3f|%.3f|%.3f|%.3f|%.3f|%.1f|%.2f|%.2f|%.2f|%.2f\n", op, size, mb, ts, tc,
        as, ac, cs, cc, kb / 1024, as / ts, ac / tc, ts / cs, tc / cc }' >>"$TABLE"
}

# rows_for MB BYTES_PER_ROW: rows that make about MB megabytes.
rows_for() { awk -v mb="$1" -v r="$2" 'BEGIN { printf "%d", mb * 1e6 / r }'; }
# bytes_per_row CMD...: generates 20000 rows into $DATA/sample and measures them.
bytes_per_row() { "$@" >/dev/null; awk -v b="$(stat -c %s "$DATA/sample")" 'BEGIN { print b / 20000 }'; }

measure_all() {  # OP SIZE RUNS TAVO_CMD... -- AWK_CMD... -- CAT_CMD...
  local op=$1 size=$2 runs=$3; shift 3
  if [ -n "${TAVO_BENCH_ONLY:-}" ] && ! [[ "$op" =~ $TAVO_BENCH_ONLY ]]; then
    rm -rf "$IN" "$OUT"
    return
  fi
  local tavo=() awkc=() catc=()
  while [ "$1" != "--" ]; do tavo+=("$1"); shift; done; shift
  while [ "$1" != "--" ]; do awkc+=("$1"); shift; done; shift
  catc=("$@")
  cat "$IN"/* >/dev/null 2>&1 || true  # every command reads from the page cache
  run tavo "$runs" "${tavo[@]}"
  run awk "$runs" "${awkc[@]}"
  run cat "$runs" "${catc[@]}"
  record "$op" "$size"
  rm -rf "$IN" "$OUT"
}

for size in $SIZES; do
  runs=${TAVO_BENCH_RUNS:-5}
  [ "$size" -gt 100 ] && runs=3
  echo "== $size MB inputs (runs per command: $runs; load: $(cut -d' ' -f1-3 /proc/loadavg)) =="

  # Branch-number removal: a 社保 receipt file.
  mkdir -p "$IN"; "$G/gen_receipts" "$size" "$IN/RECEIPTC.UKE" --seed 7 >/dev/null
  measure_all "branch removal" "$size" "$runs" "$CLI" branch-removal --out-dir "$OUT" "$IN/RECEIPTC.UKE" -- \
    sh -c 'mkdir -p "$2" && awk -F, -v OFS=, '"'"'$1 == "RE" { sub(/[-\/*].*$/, "", $14) } { print }'"'"' "$1" > "$2/out.UKE"' _ "$IN/RECEIPTC.UKE" "$OUT" -- \
    sh -c 'mkdir -p "$2" && cat "$1" > "$2/cat"' _ "$IN/RECEIPTC.UKE" "$OUT"
  echo "  branch removal done"

  # Receipt anonymization: the same kind of file.
  mkdir -p "$IN"; "$G/gen_receipts" "$size" "$IN/RECEIPTC.UKE" --seed 8 >/dev/null
  measure_all "anonymization" "$size" "$runs" "$CLI" anonymize --out-dir "$OUT" "$IN/RECEIPTC.UKE" -- \
    sh -c 'mkdir -p "$2" && awk -F, -v OFS=, '"'"'
      $1 == "SJ" || $1 == "CO" { next }
      $1 == "IR" { $7 = "DUMMY CLINIC"; $9 = "0000000000" }
      $1 == "RE" { $5 = "DUMMY NAME"; $14 = NR; $36 = "" }
      $1 == "HO" || $1 == "KO" { $2 = "00000000"; $3 = ""; $4 = "" }
      { print }'"'"' "$1" > "$2/out.UKE"' _ "$IN/RECEIPTC.UKE" "$OUT" -- \
    sh -c 'mkdir -p "$2" && cat "$1" > "$2/cat"' _ "$IN/RECEIPTC.UKE" "$OUT"
  echo "  anonymization done"

  # Converter 1: an outpatient file of the positional layout, 5000 patients.
  mkdir -p "$IN"; "$G/gen_ff_positional" "$size" "$IN/ff.txt" --patients 5000
  measure_all "converter 1" "$size" "$runs" "$CLI" convert1 --out-dir "$OUT" "$IN/ff.txt" -- \
    sh -c 'mkdir -p "$2" && awk -F"[\t,]" '"'"'
      NR == 1 { print "header"; next }
      NF >= 53 && $1 != "" { if (ym == "") ym = $4; k = $1; gsub(/^ +| +$/, "", k); if (k in seen) next; seen[k]
        h = $7 + 0; w = $8 + 0; printf "%d,%s,%s01,%s,%d,%.1f,%s,%s,%s,%d,%s\r\n", $1, $2, ym, $6, h, w, $32, $33, $23, $38, $53 }'"'"' "$1" > "$2/out.csv"' _ "$IN/ff.txt" "$OUT" -- \
    sh -c 'mkdir -p "$2" && cat "$1" > "$2/cat"' _ "$IN/ff.txt" "$OUT"
  echo "  converter 1 done"

  # Converter 2: an outpatient file of the item-code layout.
  mkdir -p "$IN" "$DATA/ff1"; "$G/gen_ff_itemcode" "$size" "$IN/ff_202606.txt" >/dev/null
  awk 'BEGIN { for (i = 0; i < 20000; i++) printf "%07d,name,kana,19500101,%d\r\n", i, 100000 + i * 3 }' \
    >"$DATA/ff1/recelist.csv"
  measure_all "converter 2" "$size" "$runs" \
    "$CLI" convert2 --out-dir "$OUT" --niva-ff1-dir "$DATA/ff1" "$IN/ff_202606.txt" -- \
    sh -c 'mkdir -p "$3" && awk -F"\t" -v OFS=, '"'"'
      NR == FNR { split($0, p, ","); m[p[1]] = p[5]; next }
      FNR == 1 { print "header"; next }
      { if ($1 in m) $1 = m[$1]; else $1 = $1; sub(/\r$/, ""); printf "%s\r\n", $0 }'"'"' "$1" "$2" > "$3/out.csv"' \
      _ "$DATA/ff1/recelist.csv" "$IN/ff_202606.txt" "$OUT" -- \
    sh -c 'mkdir -p "$2" && cat "$1" > "$2/cat"' _ "$IN/ff_202606.txt" "$OUT"
  rm -rf "$DATA/ff1"
  echo "  converter 2 done"

  # Outpatient file anonymizer: the positional file loses its names.
  mkdir -p "$IN"; "$G/gen_ff_positional" "$size" "$IN/ff.txt" --patients 5000 --seed 3
  measure_all "outpatient anonymizer" "$size" "$runs" "$CLI" anonymize-ff --out-dir "$OUT" "$IN/ff.txt" -- \
    sh -c 'mkdir -p "$2" && awk -F"\t" -v OFS="\t" '"'"'{ sub(/\r$/, "") } NR > 1 && NF >= 2 { $2 = "" } { printf "%s\r\n", $0 }'"'"' "$1" > "$2/out.txt"' _ "$IN/ff.txt" "$OUT" -- \
    sh -c 'mkdir -p "$2" && cat "$1" > "$2/cat"' _ "$IN/ff.txt" "$OUT"
  echo "  outpatient anonymizer done"

  # FF1 linkage: twelve monthly FF1 files; the merge keeps each patient's latest rows.
  mkdir -p "$IN"; "$G/gen_ff1_folder" "$IN/FF1" "$size" --seed 7 >/dev/null
  measure_all "FF1 linkage" "$size" "$runs" \
    "$CLI" ff1-link --ff1-dir "$IN/FF1" --spec "$SPEC" --year-month 202412 --out-dir "$OUT" -- \
    sh -c 'mkdir -p "$2" && awk -F"\t" '"'"'FNR == 1 { next } { if ($3 >= ym[$2]) { ym[$2] = $3; row[$2] = $0 } }
      END { for (k in row) print row[k] }'"'"' "$1"/G_FF1_*.txt > "$2/out.csv"' _ "$IN/FF1" "$OUT" -- \
    sh -c 'mkdir -p "$2" && cat "$1"/* > "$2/cat"' _ "$IN/FF1" "$OUT"
  echo "  FF1 linkage done"

  # Replacement mode 1: an outpatient file, 20000 pairs.
  mkdir -p "$IN"
  per=$(bytes_per_row "$G/gen_replace" 20000 20000 "$DATA/sample" "$DATA/sample.def")
  "$G/gen_replace" "$(rows_for "$size" "$per")" 20000 "$IN/G_FF1_all.txt" "$DATA/def1.csv"
  measure_all "replacement mode 1" "$size" "$runs" \
    "$CLI" replace --mode 1 --definition "$DATA/def1.csv" --out-dir "$OUT" "$IN/G_FF1_all.txt" -- \
    sh -c 'mkdir -p "$4" && awk -F"\t" -f "$1" "$2" "$3" > "$4/out.txt"' \
      _ "$BENCH_DIR/replace_mode1_reference.awk" "$DATA/def1.csv" "$IN/G_FF1_all.txt" "$OUT" -- \
    sh -c 'mkdir -p "$2" && cat "$1" > "$2/cat"' _ "$IN/G_FF1_all.txt" "$OUT"
  rm -f "$DATA/def1.csv" "$DATA"/sample*
  echo "  replacement mode 1 done"

  # Replacement mode 2: a 社保 and a 国保 receipt file, every chart number mapped.
  mkdir -p "$IN"
  "$G/gen_receipts" "$((size / 2))" "$IN/S.UKE" --seed 3 >/dev/null
  "$G/gen_receipts" "$((size / 2))" "$IN/K.UKE" --kokuho --seed 4 >/dev/null
  awk -F, '$1 == "RE" { k = $14; gsub(/^ +| +$/, "", k); if (k != "" && !(k in s)) { s[k]; print k "," k "9" } }' \
    "$IN/S.UKE" "$IN/K.UKE" >"$DATA/def2.csv"
  measure_all "replacement mode 2" "$size" "$runs" \
    "$CLI" replace --mode 2 --definition "$DATA/def2.csv" --out-dir "$OUT" "$IN/S.UKE" "$IN/K.UKE" -- \
    sh -c 'mkdir -p "$4" && for f in "$2" "$3"; do
      awk -F, -v OFS=, '"'"'NR == FNR { if (!($1 in m)) m[$1] = $2; next }
        $1 == "RE" { k = $14; gsub(/^ +| +$/, "", k); if (k in m) $14 = m[k] }
        { gsub(/"/, ""); print }'"'"' "$1" "$f" > "$4/$(basename "$f")"; done' \
      _ "$DATA/def2.csv" "$IN/S.UKE" "$IN/K.UKE" "$OUT" -- \
    sh -c 'mkdir -p "$3" && cat "$1" > "$3/s" && cat "$2" > "$3/k"' _ "$IN/S.UKE" "$IN/K.UKE" "$OUT"
  rm -f "$DATA/def2.csv"
  echo "  replacement mode 2 done"

  # Postal code, OUTPUT file.
  mkdir -p "$IN"
  per=$(bytes_per_row "$G/gen_postal" output 20000 "$DATA/sample")
  "$G/gen_postal" output "$(rows_for "$size" "$per")" "$IN/output.csv"
  measure_all "postal (OUTPUT file)" "$size" "$runs" \
    "$CLI" postal --year 08 --month 06 --out-dir "$OUT" "$IN/output.csv" -- \
    sh -c 'mkdir -p "$2" && awk -F, '"'"'BEGIN { RS = "\r\n" }
      NR == 1 { print "header"; next }
      { n = $2; sub(/^0+/, "", n); if (n == "") n = "0"; printf "%s,%s,20260601,%s\r\n", n, $3, $13 }'"'"' "$1" > "$2/out.csv"' \
      _ "$IN/output.csv" "$OUT" -- \
    sh -c 'mkdir -p "$2" && cat "$1" > "$2/cat"' _ "$IN/output.csv" "$OUT"
  rm -f "$DATA"/sample*
  echo "  postal (OUTPUT) done"

  # Postal code, intermediate file and its definition of 20000 data ids.
  mkdir -p "$IN"
  per=$(bytes_per_row "$G/gen_postal" intermediate 20000 "$DATA/sample" "$DATA/sample.def" 20000)
  "$G/gen_postal" intermediate "$(rows_for "$size" "$per")" "$IN/inter.tsv" "$DATA/def.csv" 20000
  measure_all "postal (intermediate file)" "$size" "$runs" \
    "$CLI" postal --year 08 --month 06 --definition "$DATA/def.csv" --out-dir "$OUT" "$IN/inter.tsv" -- \
    sh -c 'mkdir -p "$3" && awk -F"\t" '"'"'BEGIN { RS = "\r\n" }
      NR == FNR { i = index($0, ","); if (i) m[substr($0, i + 1)] = substr($0, 1, i - 1); next }
      FNR == 1 { print "header"; next }
      { printf "%s,%s,20260601,%s\r\n", m[$1], $2, $6 }'"'"' "$1" "$2" > "$3/out.csv"' \
      _ "$DATA/def.csv" "$IN/inter.tsv" "$OUT" -- \
    sh -c 'mkdir -p "$2" && cat "$1" > "$2/cat"' _ "$IN/inter.tsv" "$OUT"
  rm -f "$DATA/def.csv" "$DATA"/sample*
  echo "  postal (intermediate) done"

  # Health-checkup import: a LUMA list of 5000 patients.
  mkdir -p "$IN"
  per=$(bytes_per_row "$G/gen_postal" checkup 20000 "$DATA/sample" 5000)
  "$G/gen_postal" checkup "$(rows_for "$size" "$per")" "$IN/checkups.csv" 5000
  measure_all "checkup import" "$size" "$runs" \
    "$CLI" checkup --year 08 --month 06 --out-dir "$OUT" "$IN/checkups.csv" -- \
    sh -c 'mkdir -p "$2" && awk -F, '"'"'BEGIN { RS = "\r\n" }
        NR > 1 { ym = $4; a = $5 + 0; p = $1; sub(/^0+/, "", p);
          if (length(ym) == 6 && ym >= 202512 && ym <= 202606 && a >= 40 && a < 75) {
            if (!(p in y)) { y[p] = ym; s[p] = NR - 1 } else if (ym > y[p]) y[p] = ym; n[p] = $2 } }
        END { for (p in y) printf "%s%010d=%s,%s\n", y[p], s[p], p, n[p] }'"'"' "$1" |
      sort | awk -F"[=,]" '"'"'BEGIN { for (i = 0; i < 95; i++) pad = pad "," }
        { printf "%s,%s,20260601%s1,%s,\r\n", $2, $3, pad, substr($1, 1, 6) }'"'"' > "$2/out.csv"' \
      _ "$IN/checkups.csv" "$OUT" -- \
    sh -c 'mkdir -p "$2" && cat "$1" > "$2/cat"' _ "$IN/checkups.csv" "$OUT"
  rm -f "$DATA"/sample*
  echo "  checkup import done"
done

echo
echo "Times in seconds (wall / CPU = user + system), best of the runs; peak = tavo-cli's peak"
echo "resident memory; awk/tavo = how many times faster than the awk script (target >= 2);"
echo "tavo/cat = multiple of cat of the same input (target <= 5). The targets are on the wall"
echo "time, which the user waits; the CPU ratios are shown beside it, and include the work of"
echo "a second thread where a run reads ahead or writes behind (every run but converter 1, the"
echo "FF1 linkage and the checkup import)."
printf "%-27s %5s %6s %15s %15s %15s %9s %11s %11s\n" "operation" "MB" "input" "tavo wall/cpu" \
  "awk wall/cpu" "cat wall/cpu" "peak MiB" "awk/tavo" "tavo/cat"
awk -F'|' '{ printf "%-27s %5s %6s %7.3f/%7.3f %7.3f/%7.3f %7.3f/%7.3f %9.1f %5.1f/%5.1f %5.1f/%5.1f\n",
  $1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, $13, $14 }' "$TABLE"

echo
echo "Peak memory (MiB) by input size:"
awk -F'|' '{ if (!($1 in seen)) { seen[$1]; order[++n] = $1 } peak[$1, $2] = $10; sizes[$2] }
  END { printf "%-27s", "operation"; for (s in sizes) printf " %10s", s " MB"; printf "\n"
        for (i = 1; i <= n; i++) { printf "%-27s", order[i]
          for (s in sizes) printf " %10s", (order[i], s) in peak ? peak[order[i], s] : "-"; printf "\n" } }' "$TABLE"
