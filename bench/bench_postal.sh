#!/usr/bin/env bash
# End-to-end benchmark of the postal-code conversion (tavo-cli postal) on an
# OUTPUT file and on an intermediate file with its definition, against awk
# doing the same field picks and lookup on the same inputs in the same run (and
# cat as the bare read-and-write floor). Prints times, ratios and peak memory.
#   usage: bench/bench_postal.sh BUILD_DIR
set -euo pipefail
BUILD=$(cd "${1:?usage: bench_postal.sh BUILD_DIR}" && pwd)
CLI=$BUILD/tavo-cli
GEN=$BUILD/bench/gen_postal
for p in "$CLI" "$GEN"; do [ -x "$p" ] || { echo "missing $p (build first)"; exit 1; }; done
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/in" "$WORK/out" "$WORK/ref"
export LC_ALL=C

# shellcheck source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

ROWS=300000
"$GEN" output $ROWS "$WORK/in/output.csv"
"$GEN" intermediate $ROWS "$WORK/in/inter.tsv" "$WORK/in/def.csv"

measure csv_tavo "$CLI" postal --year 08 --month 06 --out-dir "$WORK/out" "$WORK/in/output.csv"
measure csv_awk awk -F, -v out="$WORK/ref/csv.txt" 'BEGIN { RS = "\r\n" }
  NR == 1 { print "header" > out; next }
  { n = $2; sub(/^0+/, "", n); if (n == "") n = "0"; printf "%s,%s,20260601,%s\r\n", n, $3, $13 > out }' \
  "$WORK/in/output.csv"
measure csv_cat sh -c 'cat "$1" > "$2"' _ "$WORK/in/output.csv" "$WORK/ref/csvcat.txt"

measure tsv_tavo "$CLI" postal --year 08 --month 06 --definition "$WORK/in/def.csv" \
  --out-dir "$WORK/out" "$WORK/in/inter.tsv"
measure tsv_awk awk -F'\t' -v out="$WORK/ref/tsv.txt" 'BEGIN { RS = "\r\n" }
  NR == FNR { i = index($0, ","); if (i) m[substr($0, i + 1)] = substr($0, 1, i - 1); next }
  FNR == 1 { print "header" > out; next }
  { printf "%s,%s,20260601,%s\r\n", m[$1], $2, $6 > out }' "$WORK/in/def.csv" "$WORK/in/inter.tsv"
measure tsv_cat sh -c 'cat "$1" "$2" > "$3"' _ "$WORK/in/def.csv" "$WORK/in/inter.tsv" \
  "$WORK/ref/tsvcat.txt"

cmp -s <(tail -n +2 "$WORK/out/202606_postcode.csv") <(tail -n +2 "$WORK/ref/tsv.txt") ||
  echo "  (note: tavo and awk outputs differ)"

echo "OUTPUT file: $(($(stat -c %s "$WORK/in/output.csv") / 1000000)) MB, $ROWS rows"
show csv_tavo "tavo-cli postal (OUTPUT)"
show csv_awk "awk (reference)"
show csv_cat "cat (read+write floor)"
echo "  ratio tavo/awk: $(ratio csv_tavo csv_awk)   tavo/cat: $(ratio csv_tavo csv_cat)"
echo "intermediate file: $(($(stat -c %s "$WORK/in/inter.tsv") / 1000000)) MB, $ROWS rows and pairs"
show tsv_tavo "tavo-cli postal (intermediate)"
show tsv_awk "awk (reference)"
show tsv_cat "cat (read+write floor)"
echo "  ratio tavo/awk: $(ratio tsv_tavo tsv_awk)   tavo/cat: $(ratio tsv_tavo tsv_cat)"
