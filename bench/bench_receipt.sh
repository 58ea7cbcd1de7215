#!/usr/bin/env bash
# End-to-end benchmark of branch-number removal (tavo-cli branch-removal) on a
# generated 100 MB receipt file, against cp of the same file and a
# straightforward Python script doing the same job (bench/branch_removal_reference.py),
# all measured in this run. Prints times (best of 3; the script once), ratios
# and the peak memory of tavo-cli.   usage: bench/bench_receipt.sh BUILD_DIR [SIZE_MB]
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
BUILD=$(cd "${1:?usage: bench_receipt.sh BUILD_DIR [SIZE_MB]}" && pwd)
SIZE_MB=${2:-100}
CLI=$BUILD/tavo-cli
GEN=$BUILD/bench/gen_receipts
for p in "$CLI" "$GEN"; do [ -x "$p" ] || { echo "missing $p (build first)"; exit 1; }; done
[ -x /usr/bin/time ] || { echo "missing /usr/bin/time (apt-get install time)"; exit 1; }
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/out" "$WORK/cp" "$WORK/py"
IN=$WORK/RECEIPTC.UKE
"$GEN" "$SIZE_MB" "$IN" --seed 7
cat "$IN" >/dev/null  # every run reads from the page cache

# best NAME RUNS CMD...: the fastest wall time and the least CPU time (user +
# system) of RUNS runs, in seconds, into $WORK/NAME.s and $WORK/NAME.cpu. On a
# busy machine the CPU times say more than the wall times.
best() {
  local name=$1 runs=$2; shift 2
  : >"$WORK/$name.all"
  for ((i = 0; i < runs; i++)); do
    local t0 t1
    t0=$(date +%s.%N)
    /usr/bin/time -f "%U %S" -o "$WORK/$name.time" "$@" >/dev/null 2>"$WORK/$name.err" || {
      echo "$name failed:"; cat "$WORK/$name.err"; exit 1; }
    t1=$(date +%s.%N)
    echo "$t0 $t1 $(cat "$WORK/$name.time")" >>"$WORK/$name.all"
  done
  awk '{ w = $2 - $1; c = $3 + $4; if (NR == 1 || w < bw) bw = w; if (NR == 1 || c < bc) bc = c }
       END { print bw > "/dev/stdout"; print bc > "/dev/stderr" }' "$WORK/$name.all" \
    >"$WORK/$name.s" 2>"$WORK/$name.cpu"
}
ratio() { awk -v a="$(cat "$WORK/$1")" -v b="$(cat "$WORK/$2")" 'BEGIN{ if (b <= 0) b = 0.01; printf "%.2f", a / b }'; }

best tavo 5 "$CLI" branch-removal --out-dir "$WORK/out" "$IN"
best cp 5 cp "$IN" "$WORK/cp/copy.UKE"
# cp copies inside the kernel (copy_file_range); cat shows the floor of a
# program that reads and writes through its own buffers.
best cat 5 sh -c 'cat "$1" > "$2"' _ "$IN" "$WORK/cp/cat.UKE"
best py 1 python3 "$HERE/branch_removal_reference.py" "$IN" "$WORK/py/out.uke"
/usr/bin/time -v -o "$WORK/mem.time" "$CLI" branch-removal --out-dir "$WORK/out" "$IN" >/dev/null
PEAK_KB=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$WORK/mem.time")

OUT=$(ls "$WORK/out"/*.uke)
if cmp -s "$OUT" "$WORK/py/out.uke"; then SAME="identical"; else SAME="DIFFERENT"; fi

echo "branch-removal of $(( $(stat -c %s "$IN") / 1000000 )) MB, $(wc -l <"$IN") lines (load: $(cut -d' ' -f1-3 /proc/loadavg))"
printf "  %-34s %8s %8s\n" "" "wall s" "CPU s"
for n in tavo cp cat py; do
  case $n in tavo) l="tavo-cli branch-removal" ;; cp) l="cp" ;; cat) l="cat (read/write floor)" ;; py) l="python3 cp932 script (reference)" ;; esac
  printf "  %-34s %8.3f %8.2f\n" "$l" "$(cat "$WORK/$n.s")" "$(cat "$WORK/$n.cpu")"
done
echo "  tavo / cp:      $(ratio tavo.s cp.s) x wall, $(ratio tavo.cpu cp.cpu) x CPU   (target <= 3)"
echo "  tavo / cat:     $(ratio tavo.s cat.s) x wall, $(ratio tavo.cpu cat.cpu) x CPU"
echo "  script / tavo:  $(ratio py.s tavo.s) x wall, $(ratio py.cpu tavo.cpu) x CPU   (target >= 20)"
echo "  peak memory:    $((PEAK_KB / 1024)) MiB ($PEAK_KB KB; target < 64 MiB)"
echo "  output vs script output: $SAME"
