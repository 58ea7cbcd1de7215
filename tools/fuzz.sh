#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UndefinedBehaviorSanitizer;
# only the core, the run operations and the targets) and runs each of them for
# SECONDS (default 60) on its committed corpus. New inputs go to the build
# folder, never into the committed corpora. A crash leaves its input in
# build/fuzz/crashes/<target>/.
#   tools/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/deps.sh
tavo_need_packages cmake make clang libclang-rt-14-dev
SECONDS_EACH=${1:-60}
BUILD=build/fuzz
TARGETS=(cp932 strconv comma ini run_ops)
JOBS=$(nproc 2>/dev/null || echo 2)
FLAGS="-g -O1 -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined"

LAUNCHER=()
command -v ccache >/dev/null && LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$BUILD" "${LAUNCHER[@]}" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS="$FLAGS" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DTAVO_WITH_QT=OFF -DTAVO_WITH_TESTS=OFF -DTAVO_WITH_BENCH=OFF -DTAVO_WITH_FUZZ=ON >/dev/null
cmake --build "$BUILD" -j "$JOBS" --target "${TARGETS[@]/#/fuzz_}" >"$BUILD.log" 2>&1 ||
  { tail -30 "$BUILD.log"; echo "fuzz: build failed"; exit 1; }

passed=0
failed=0
for t in "${TARGETS[@]}"; do
  work="$BUILD/work/$t"
  crashes="$BUILD/crashes/$t"
  rm -rf "$work" "$crashes"
  mkdir -p "$work" "$crashes"
  log="$BUILD/$t.log"
  if UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
     "$BUILD/fuzz/fuzz_$t" -seed=1 -max_total_time="$SECONDS_EACH" -timeout=20 -rss_limit_mb=2048 \
       -artifact_prefix="$crashes/" "$work" "fuzz/$t/corpus" >"$log" 2>&1; then
    passed=$((passed + 1))
    echo "fuzz_$t: passed ($(grep -Eo 'Done [0-9]+ runs' "$log" | tail -1 || echo '?'))"
  else
    failed=$((failed + 1))
    echo "fuzz_$t: FAILED (log $log, input in $crashes)"
    grep -E "ERROR|run_ops:|SUMMARY|abort" "$log" | head -5 || true
  fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
