#!/usr/bin/env bash
# Windows cross build: builds the core, the run operations, tavo-cli and every
# non-GUI test program with MinGW-w64 and runs the tests under Wine.
#   tools/cross_test.sh [BUILD_DIR]      (default build/win)
# Exits non-zero when a package is missing and cannot be installed, when the
# build fails, or when a test fails. The ctest output is kept in BUILD_DIR/ctest.log.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-build/win}
case "$BUILD" in /*) ;; *) BUILD="$ROOT/$BUILD" ;; esac
. "$ROOT/tools/deps.sh"
# libcli11-dev: tavo-cli is built with the same header-only CLI11 as on Linux.
tavo_need_packages g++-mingw-w64-x86-64-posix googletest libcli11-dev wine64 wine

# The 64-bit loader directly: Debian's "wine" wrapper insists on wine32 for a new prefix.
WINE=""
for w in /usr/lib/wine/wine64 "$(command -v wine64 || true)" "$(command -v wine || true)"; do
  if [ -n "$w" ] && [ -x "$w" ]; then WINE=$w; break; fi
done
[ -n "$WINE" ] || { echo "cross_test: no wine found" >&2; exit 1; }

# A private prefix, so that nothing of the user's Wine set-up takes part.
export WINEPREFIX="$BUILD/wineprefix"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono/Gecko installer prompts
mkdir -p "$BUILD"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Creating the Wine prefix in $WINEPREFIX"
  "$WINE" wineboot --init >/dev/null 2>&1 || true
  "$(dirname "$WINE")/wineserver" -w 2>/dev/null || wineserver -w 2>/dev/null || true
fi

# ctest and the test programs start the .exe files through this runner, which
# carries the prefix, so that running ctest by hand later behaves the same.
RUNNER="$BUILD/wine-run.sh"
cat >"$RUNNER" <<RUN
#!/bin/sh
export WINEPREFIX="$WINEPREFIX" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
exec "$WINE" "\$@"
RUN
chmod +x "$RUNNER"

JOBS=$(nproc 2>/dev/null || echo 2)
cmake -S "$ROOT" -B "$BUILD" \
  -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64.cmake" \
  -DCMAKE_CROSSCOMPILING_EMULATOR="$RUNNER" \
  -DCMAKE_BUILD_TYPE=Release \
  -DTAVO_WITH_QT=OFF -DTAVO_WITH_BENCH=OFF >/dev/null
cmake --build "$BUILD" -j "$JOBS"

set +e
ctest --test-dir "$BUILD" --output-on-failure -j "$JOBS" --timeout 900 2>&1 | tee "$BUILD/ctest.log"
rc=${PIPESTATUS[0]}
set -e
"$(dirname "$WINE")/wineserver" -k 2>/dev/null || true
exit "$rc"
