#!/usr/bin/env bash
# End-to-end benchmark of patient-number replacement (tavo-cli replace) in both
# modes, against awk doing the same lookup and rewrite on the same inputs in the
# same run (and cat as the bare read-and-write floor). Prints times, ratios and
# peak memory.   usage: bench/bench_replace.sh BUILD_DIR
set -euo pipefail
BUILD=$(cd "${1:?usage: bench_replace.sh BUILD_DIR}" && pwd)
CLI=$BUILD/tavo-cli
GEN=$BUILD/bench/gen_replace
GENR=$BUILD/bench/gen_receipts
for p in "$CLI" "$GEN" "$GENR"; do [ -x "$p" ] || { echo "missing $p (build first)"; exit 1; }; done
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/in" "$WORK/out" "$WORK/ref"

SHOW_WIDTH=28
# shellcheck source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

# Mode 1: outpatient file, 200000 rows, 20000 pairs.
"$GEN" 200000 20000 "$WORK/in/G_FF1_420123456_all.txt" "$WORK/in/def1.csv"
SIZE1=$(stat -c %s "$WORK/in/G_FF1_420123456_all.txt")
measure m1_tavo "$CLI" replace --mode 1 --definition "$WORK/in/def1.csv" --out-dir "$WORK/out" \
  "$WORK/in/G_FF1_420123456_all.txt"
measure m1_awk sh -c 'awk -F"\t" -f "$1" "$2" "$3" > "$4"' _ "$BENCH_DIR/replace_mode1_reference.awk" \
  "$WORK/in/def1.csv" "$WORK/in/G_FF1_420123456_all.txt" "$WORK/ref/m1.txt"
measure m1_cat sh -c 'cat "$1" > "$2"' _ "$WORK/in/G_FF1_420123456_all.txt" "$WORK/ref/m1cat.txt"

# Mode 2: a 社保 and a 国保 receipt file of 20 MB each; every chart number mapped.
"$GENR" 20 "$WORK/in/S.UKE" --seed 3
"$GENR" 20 "$WORK/in/K.UKE" --kokuho --seed 4
awk -F, '$1 == "RE" { k = $14; gsub(/^ +| +$/, "", k); if (k != "" && !(k in s)) { s[k]; print k "," k "9" } }' \
  "$WORK/in/S.UKE" "$WORK/in/K.UKE" >"$WORK/in/def2.csv"
SIZE2=$(( $(stat -c %s "$WORK/in/S.UKE") + $(stat -c %s "$WORK/in/K.UKE") ))
measure m2_tavo "$CLI" replace --mode 2 --definition "$WORK/in/def2.csv" --out-dir "$WORK/out" \
  "$WORK/in/S.UKE" "$WORK/in/K.UKE"
measure m2_awk sh -c '
  for f in "$2" "$3"; do
    awk -F, -v OFS=, '"'"'NR == FNR { if (!($1 in m)) m[$1] = $2; next }
      $1 == "RE" { k = $14; gsub(/^ +| +$/, "", k); if (k in m) $14 = m[k] }
      { gsub(/"/, ""); print }'"'"' "$1" "$f" > "$f.out"
  done' _ "$WORK/in/def2.csv" "$WORK/in/S.UKE" "$WORK/in/K.UKE"
measure m2_cat sh -c 'cat "$1" > "$3"; cat "$2" > "$4"' _ "$WORK/in/S.UKE" "$WORK/in/K.UKE" \
  "$WORK/ref/s" "$WORK/ref/k"

echo "mode 1: outpatient file $((SIZE1 / 1000000)) MB, 200000 rows, 20000 pairs"
show m1_tavo "tavo-cli replace --mode 1"
show m1_awk "awk (reference)"
show m1_cat "cat (read+write floor)"
echo "  ratio tavo/awk: $(ratio m1_tavo m1_awk)   tavo/cat: $(ratio m1_tavo m1_cat)"
echo "mode 2: two receipt files, $((SIZE2 / 1000000)) MB, $(wc -l <"$WORK/in/def2.csv") pairs"
show m2_tavo "tavo-cli replace --mode 2"
show m2_awk "awk (reference)"
show m2_cat "cat (read+write floor)"
echo "  ratio tavo/awk: $(ratio m2_tavo m2_awk)   tavo/cat: $(ratio m2_tavo m2_cat)"
