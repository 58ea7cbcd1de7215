#!/usr/bin/env bash
# End-to-end benchmark of the code page 932 codec: a 100 MB receipt file
# (Shift_JIS, CR LF) decoded and encoded again by cp932_bench, against
# iconv -f CP932 -t UTF-16LE | iconv -f UTF-16LE -t CP932 on the same file in
# the same run. Each side runs three times, alternating; the best wall time
# counts. Prints times, CPU times, the ratios and peak memory.
#   usage: bench/bench_codec.sh BUILD_DIR [SIZE_MB]   (BUILD_DIR: a Release build)
set -euo pipefail
BUILD=$(cd "${1:?usage: bench_codec.sh BUILD_DIR [SIZE_MB]}" && pwd)
SIZE_MB=${2:-100}
CODEC=$BUILD/bench/cp932_bench
GEN=$BUILD/bench/gen_receipts
for p in "$CODEC" "$GEN"; do [ -x "$p" ] || { echo "missing $p (build first)"; exit 1; }; done
command -v iconv >/dev/null || { echo "iconv not found"; exit 1; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time not found (install the time package)"; exit 1; }
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

"$GEN" "$SIZE_MB" "$WORK/in.uke" --seed 11
SIZE=$(stat -c %s "$WORK/in.uke")
cat "$WORK/in.uke" >/dev/null  # both sides read from the page cache

# measure NAME CMD...: runs once; keeps the best wall time, its CPU time and the peak KB
measure() {
  local name=$1; shift
  /usr/bin/time -v -o "$WORK/t" "$@" >/dev/null 2>"$WORK/$name.err" || {
    echo "$name failed:"; cat "$WORK/$name.err"; exit 1; }
  awk -F': ' -v best="$WORK/$name.best" '
    /Elapsed \(wall clock\)/ { n = split($2, a, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + a[i] }
    /User time/ { cpu += $2 } /System time/ { cpu += $2 }
    /Maximum resident set size/ { kb = $2 }
    END {
      if ((getline prev < best) > 0) { split(prev, p, " "); if (p[1] <= s) { print prev > best; exit } }
      printf "%.2f %.2f %d\n", s, cpu, kb > best
    }' "$WORK/t"
}
field() { cut -d' ' -f"$2" "$WORK/$1.best"; }

for round in 1 2 3; do
  measure tavo "$CODEC" roundtrip "$WORK/in.uke" "$WORK/out.uke"
  measure iconv sh -c 'iconv -f CP932 -t UTF-16LE "$1" | iconv -f UTF-16LE -t CP932 > "$2"' _ \
    "$WORK/in.uke" "$WORK/ref.uke"
done
cmp -s "$WORK/in.uke" "$WORK/out.uke" || { echo "our round trip changed the bytes"; exit 1; }
cmp -s "$WORK/in.uke" "$WORK/ref.uke" || echo "note: the iconv round trip changed the bytes"

printf "code page 932 round trip of %.1f MB (best of 3)\n" "$(awk -v b="$SIZE" 'BEGIN{print b/1e6}')"
printf "  %-30s %6.2f s wall  %6.2f s CPU  %8d KB peak\n" "tavo (cp932_bench roundtrip)" \
  "$(field tavo 1)" "$(field tavo 2)" "$(field tavo 3)"
printf "  %-30s %6.2f s wall  %6.2f s CPU  %8d KB peak\n" "iconv | iconv" \
  "$(field iconv 1)" "$(field iconv 2)" "$(field iconv 3)"
awk -v a="$(field tavo 1)" -v b="$(field iconv 1)" -v c="$(field tavo 2)" -v d="$(field iconv 2)" \
  'BEGIN { if (b <= 0) b = 0.01; if (d <= 0) d = 0.01;
           printf "  ratio tavo / iconv: %.2f wall, %.2f CPU (target: at most 0.30)\n", a / b, c / d }'
