#!/usr/bin/env bash
# End-to-end benchmark of the health-checkup import (tavo-cli checkup) on a
# large LUMA list, against awk + sort doing the same selection, merge and
# ordering on the same input in the same run (and cat as the read-and-write
# floor). Prints times, ratios and peak memory.
#   usage: bench/bench_checkup.sh BUILD_DIR
set -euo pipefail
BUILD=$(cd "${1:?usage: bench_checkup.sh BUILD_DIR}" && pwd)
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
"$GEN" checkup $ROWS "$WORK/in/checkups.csv"

measure tavo "$CLI" checkup --year 08 --month 06 --out-dir "$WORK/out" "$WORK/in/checkups.csv"
measure awk sh -c '
  awk -F, '"'"'BEGIN { RS = "\r\n" }
    NR > 1 { ym = $4; a = $5 + 0; p = $1; sub(/^0+/, "", p);
      if (length(ym) == 6 && ym >= 202512 && ym <= 202606 && a >= 40 && a < 75) {
        if (!(p in y)) { y[p] = ym; s[p] = NR - 1 } else if (ym > y[p]) y[p] = ym; n[p] = $2 } }
    END { for (p in y) printf "%s%010d=%s,%s\n", y[p], s[p], p, n[p] }'"'"' "$1" |
  sort | awk -F"[=,]" '"'"'{ printf "%s,%s,20260601,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,1,%s,\r\n", $2, $3, substr($1, 1, 6) }'"'"' > "$2"' \
  _ "$WORK/in/checkups.csv" "$WORK/ref/awk.csv"
measure cat sh -c 'cat "$1" > "$2"' _ "$WORK/in/checkups.csv" "$WORK/ref/cat.csv"

echo "checkup list: $(($(stat -c %s "$WORK/in/checkups.csv") / 1000000)) MB, $ROWS lines," \
  "$(($(wc -l <"$WORK/ref/awk.csv"))) patients taken"
show tavo "tavo-cli checkup"
show awk "awk + sort (reference)"
show cat "cat (read+write floor)"
echo "  ratio tavo/awk: $(ratio tavo awk)   tavo/cat: $(ratio tavo cat)"
