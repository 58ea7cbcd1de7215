#!/usr/bin/env bash
# Builds everything and runs every test: the normal build, the same tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, the tests of the code that
# runs on a second thread under ThreadSanitizer, the fuzz targets on their
# corpora, and the Windows pass: the cross build of everything, every test
# program under Wine, the package zip and its start under Xvfb + Wine
# (tools/cross_test.sh).
#   TAVO_SKIP_SANITIZE=1  skip the sanitizer runs
#   TAVO_SKIP_FUZZ=1      skip the fuzz targets (TAVO_FUZZ_SECONDS: seconds per target, default 5)
#   TAVO_SKIP_CROSS=1     skip the Windows pass
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$(pwd)
. tools/deps.sh
tavo_need_packages "${TAVO_BUILD_PACKAGES[@]}" time python3

JOBS=$(nproc 2>/dev/null || echo 2)
export QT_QPA_PLATFORM=offscreen
TOTAL_PASSED=0
TOTAL_FAILED=0

run_ctest() {  # build-dir label...
  local dir=$1; shift
  local log="$dir/ctest.log"
  set +e
  ctest --test-dir "$dir" --output-on-failure -j "$JOBS" "$@" 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  set -e
  local line passed failed
  line=$(grep -E "tests passed, [0-9]+ tests failed out of [0-9]+" "$log" | tail -1 || true)
  failed=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$line")
  total=$(sed -E 's/.* tests failed out of ([0-9]+).*/\1/' <<<"$line")
  if [ -n "$line" ]; then
    TOTAL_PASSED=$((TOTAL_PASSED + total - failed))
    TOTAL_FAILED=$((TOTAL_FAILED + failed))
  fi
  return $rc
}

echo "== Include layering =="
python3 tools/check_layers.py

echo "== Build and test =="
cmake -S . -B build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/test -j "$JOBS"
run_ctest build/test

if [ "${TAVO_SKIP_SANITIZE:-0}" != 1 ]; then
  echo "== AddressSanitizer + UndefinedBehaviorSanitizer =="
  cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=Debug -DTAVO_SANITIZE=ON -DTAVO_WITH_BENCH=OFF >/dev/null
  cmake --build build/sanitize -j "$JOBS"
  # Qt's and fontconfig's process-lifetime caches are not leaks of ours.
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
  LSAN_OPTIONS=suppressions=$ROOT/tools/lsan.supp:print_suppressions=0 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    run_ctest build/sanitize

  echo "== ThreadSanitizer: reading ahead and writing behind =="
  # Only the programs whose tests run that code: the file layer, the receipt
  # runs, converter 2, replacement, postal and the fault sweep over every run.
  cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=Debug -DTAVO_SANITIZE_THREAD=ON -DTAVO_WITH_QT=OFF \
    -DTAVO_WITH_BENCH=OFF >/dev/null
  cmake --build build/tsan -j "$JOBS" --target core_tests receipt_tests linkage_tests replace_tests \
    postal_tests fault_tests
  TSAN_OPTIONS=halt_on_error=1 run_ctest build/tsan -L "^(core|receipt|linkage|replace|postal|fault)$"
fi

if [ "${TAVO_SKIP_FUZZ:-0}" != 1 ]; then
  echo "== Fuzz targets on their corpora =="
  # A few seconds each: every case a past fault needed is in the corpora.
  set +e
  tools/fuzz.sh "${TAVO_FUZZ_SECONDS:-5}" 2>&1 | tee build/fuzz.out
  set -e
  line=$(grep -E "^fuzz: [0-9]+ passed, [0-9]+ failed" build/fuzz.out | tail -1 || true)
  if [ -n "$line" ]; then
    TOTAL_PASSED=$((TOTAL_PASSED + $(sed -E 's/^fuzz: ([0-9]+) passed.*/\1/' <<<"$line")))
    TOTAL_FAILED=$((TOTAL_FAILED + $(sed -E 's/.* ([0-9]+) failed.*/\1/' <<<"$line")))
  else
    TOTAL_FAILED=$((TOTAL_FAILED + 1))  # the fuzz build itself failed
  fi
fi

if [ "${TAVO_SKIP_CROSS:-0}" != 1 ]; then
  echo "== Windows: cross build, tests under Wine, package and its start =="
  if [ -x tools/cross_test.sh ]; then
    win_start=$SECONDS
    win_rc=0
    tools/cross_test.sh build/win || win_rc=$?
    echo "Windows pass: $((SECONDS - win_start)) s"
    if [ -f build/win/ctest.log ]; then
      line=$(grep -E "tests passed, [0-9]+ tests failed out of [0-9]+" build/win/ctest.log | tail -1 || true)
      if [ -n "$line" ]; then
        f=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$line")
        t=$(sed -E 's/.* tests failed out of ([0-9]+).*/\1/' <<<"$line")
        TOTAL_PASSED=$((TOTAL_PASSED + t - f)); TOTAL_FAILED=$((TOTAL_FAILED + f))
      fi
    fi
    # The setup program's checks under Wine (tools/installer_test.sh, run by the pass).
    if [ -f build/win/installer.log ]; then
      line=$(grep -E "^installer: [0-9]+ passed, [0-9]+ failed" build/win/installer.log | tail -1 || true)
      if [ -n "$line" ]; then
        TOTAL_PASSED=$((TOTAL_PASSED + $(sed -E 's/^installer: ([0-9]+) passed.*/\1/' <<<"$line")))
        TOTAL_FAILED=$((TOTAL_FAILED + $(sed -E 's/.* ([0-9]+) failed.*/\1/' <<<"$line")))
      fi
    fi
    [ "$win_rc" -eq 0 ] || { echo "The Windows pass failed" >&2; exit "$win_rc"; }
  fi
fi

echo "total: $TOTAL_PASSED passed, $TOTAL_FAILED failed"
[ "$TOTAL_FAILED" -eq 0 ]
