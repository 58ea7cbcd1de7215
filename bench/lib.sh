# Helpers shared by the end-to-end benchmark scripts. Source it after setting WORK
# (a scratch folder). SHOW_WIDTH sets the label column of `show` (default 32).

# The folder of the benchmark scripts and their awk references.
BENCH_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# measure NAME CMD...: runs once, records seconds and peak KB in $WORK/NAME.{s,kb}
measure() {
  local name=$1; shift
  /usr/bin/time -v -o "$WORK/$name.time" "$@" >/dev/null 2>"$WORK/$name.err" || {
    echo "$name failed:"; cat "$WORK/$name.err"; exit 1; }
  awk -F': ' '/Elapsed \(wall clock\)/ {n=split($2,a,":"); s=0; for(i=1;i<=n;i++) s=s*60+a[i]; print s}' \
    "$WORK/$name.time" >"$WORK/$name.s"
  awk -F': ' '/Maximum resident set size/ {print $2}' "$WORK/$name.time" >"$WORK/$name.kb"
}
# ratio A B: seconds of A over seconds of B, two decimals
ratio() { awk -v a="$(cat "$WORK/$1.s")" -v b="$(cat "$WORK/$2.s")" 'BEGIN{ if (b<=0) b=0.01; printf "%.2f", a/b }'; }
show() {  # name label
  printf "  %-${SHOW_WIDTH:-32}s %7.2f s  %8d KB peak\n" "$2" "$(cat "$WORK/$1.s")" "$(cat "$WORK/$1.kb")"
}
