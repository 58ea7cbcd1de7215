#!/usr/bin/env bash
# End-to-end benchmark of converter 2 on the item-code layout (tavo-cli
# convert2) with a generated 100 MB outpatient file, against cp and cat of the
# same file and the awk reference (bench/convert2_reference.awk, same output)
# in the same run. Prints times, the ratios and peak memory.
#   usage: bench/bench_linkage.sh BUILD_DIR [SIZE_MB]
set -euo pipefail
BUILD=$(cd "${1:?usage: bench_linkage.sh BUILD_DIR [SIZE_MB]}" && pwd)
SIZE=${2:-100}
CLI=$BUILD/tavo-cli
GEN=$BUILD/bench/gen_ff_itemcode
for p in "$CLI" "$GEN"; do [ -x "$p" ] || { echo "missing $p (build first)"; exit 1; }; done
[ -x /usr/bin/time ] || { echo "missing /usr/bin/time (apt-get install time)"; exit 1; }
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/in" "$WORK/out" "$WORK/ff1"
export LC_ALL=C

# measure NAME CMD...: runs once, records seconds and peak KB in $WORK/NAME.{s,kb}
measure() {
  local name=$1; shift
  /usr/bin/time -v -o "$WORK/$name.time" "$@" >/dev/null 2>"$WORK/$name.err" || {
    echo "$name failed:"; cat "$WORK/$name.err"; exit 1; }
  awk -F': ' '/Elapsed \(wall clock\)/ {n=split($2,a,":"); s=0; for(i=1;i<=n;i++) s=s*60+a[i]; print s}' \
    "$WORK/$name.time" >"$WORK/$name.s"
  awk -F': ' '/Maximum resident set size/ {print $2}' "$WORK/$name.time" >"$WORK/$name.kb"
  awk -F': ' '/User time/ {u=$2} /System time/ {s=$2} END {print u+s}' "$WORK/$name.time" >"$WORK/$name.cpu"
}
show() {  # name label
  printf "  %-34s %7.2f s wall  %7.2f s cpu  %8d KB peak\n" "$2" "$(cat "$WORK/$1.s")" \
    "$(cat "$WORK/$1.cpu")" "$(cat "$WORK/$1.kb")"
}

"$GEN" "$SIZE" "$WORK/in/ff_202606.txt"
BYTES=$(stat -c %s "$WORK/in/ff_202606.txt")
# A receipt list of 20000 patients, as a clinic's NIVA holds it.
awk 'BEGIN { for (i = 0; i < 20000; i++) printf "%07d,name,kana,19500101,%d\r\n", i, 100000 + i * 3 }' \
  >"$WORK/ff1/recelist.csv"
cat "$WORK/in/ff_202606.txt" >/dev/null  # same page-cache state for both runs

measure cp cp "$WORK/in/ff_202606.txt" "$WORK/out/copy.txt"
rm -f "$WORK/out/copy.txt"
# cp copies inside the kernel (copy_file_range) and never brings the bytes
# into a process; cp + sync of the copy is shown beside it for comparison.
measure cpsync sh -c 'cp "$1" "$2" && sync "$2"' sh "$WORK/in/ff_202606.txt" "$WORK/out/copy.txt"
rm -f "$WORK/out/copy.txt"
measure tavo "$CLI" convert2 --out-dir "$WORK/out" --niva-ff1-dir "$WORK/ff1" "$WORK/in/ff_202606.txt"
[ -s "$WORK/out/202606_carte.csv" ] || { echo "no output written"; exit 1; }
measure cat sh -c 'cat "$1" >"$2"' sh "$WORK/in/ff_202606.txt" "$WORK/out/cat.txt"
head -n 1 "$WORK/out/202606_carte.csv" >"$WORK/header.txt"
measure awk sh -c 'awk -v recelist="$1" -v header="$2" -f "$3" "$4" >"$5"' sh "$WORK/ff1/recelist.csv" \
  "$WORK/header.txt" "$(cd "$(dirname "$0")" && pwd)/convert2_reference.awk" "$WORK/in/ff_202606.txt" \
  "$WORK/out/awk.csv"
cmp -s "$WORK/out/awk.csv" "$WORK/out/202606_carte.csv" || echo "  (the awk reference's output differs)"

echo "converter 2, item-code layout: $((BYTES / 1000000)) MB input, $(wc -l <"$WORK/in/ff_202606.txt") lines"
show cp "cp (reference)"
show cpsync "cp + sync of the copy"
show cat "cat into a file"
show awk "awk reference"
show tavo "tavo-cli convert2"
REPORT=$(ls "$WORK/out/"*_検証.csv 2>/dev/null || true)
[ -z "$REPORT" ] || echo "  report of blanked values: $(($(wc -l <"$REPORT") - 1)) values"
awk -v a="$(cat "$WORK/tavo.s")" -v b="$(cat "$WORK/cp.s")" -v c="$(cat "$WORK/cpsync.s")" \
    -v kb="$(cat "$WORK/tavo.kb")" -v t="$(cat "$WORK/cat.s")" -v k="$(cat "$WORK/awk.s")" 'BEGIN {
  if (b <= 0) b = 0.01
  if (c <= 0) c = 0.01
  printf "  ratio to cp: %.2f x (target <= 5)\n", a / b
  printf "  ratio to cp + sync: %.2f x\n", a / c
  if (t <= 0) t = 0.01
  printf "  ratio to cat: %.2f x (target <= 5)\n", a / t
  printf "  awk reference / tavo: %.1f x (target >= 2)\n", k / a
  printf "  peak memory: %.1f MiB (target < 64)\n", kb / 1024 }'
