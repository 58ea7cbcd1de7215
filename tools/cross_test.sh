#!/usr/bin/env bash
# Windows cross build: builds everything with MinGW-w64 against a Qt for
# Windows (see tools/qt_windows.sh for where it comes from), runs every test
# program under Wine (the GUI ones on the offscreen platform), then makes the
# package zip and the setup program and starts the zip's tavo.exe under Xvfb +
# Wine (tools/smoke_windows.sh); last the setup program installs, updates and
# uninstalls in a prefix of its own (tools/installer_test.sh, which ends with
# the line "installer: N passed, M failed").
#   tools/cross_test.sh [BUILD_DIR]      (default build/win)
# Exits non-zero when a package is missing and cannot be installed, when the
# build fails, or when a test fails. The ctest output is kept in BUILD_DIR/ctest.log,
# the installer test's in BUILD_DIR/installer.log.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-build/win}
case "$BUILD" in /*) ;; *) BUILD="$ROOT/$BUILD" ;; esac
. "$ROOT/tools/deps.sh"
. "$ROOT/tools/qt_windows.sh"
tavo_need_packages "${TAVO_WINDOWS_PACKAGES[@]}"
QT=$(tavo_qt_windows "$ROOT")
echo "Qt for Windows: $QT"

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

# The programs built against Qt find its DLLs, the MinGW runtime DLLs and
# the plugins through these; the package carries them beside tavo.exe instead.
winpath() { printf 'Z:%s' "${1//\//\\}"; }
WINEPATH_VALUE=$(winpath "$QT/bin")
for dll in $(tavo_mingw_runtime_dlls); do WINEPATH_VALUE="$WINEPATH_VALUE;$(winpath "$(dirname "$dll")")"; done

# ctest and the test programs start the .exe files through this runner, which
# carries the prefix, so that running ctest by hand later behaves the same.
RUNNER="$BUILD/wine-run.sh"
cat >"$RUNNER" <<RUN
#!/bin/sh
export WINEPREFIX="$WINEPREFIX" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPATH='$WINEPATH_VALUE' QT_PLUGIN_PATH='$(winpath "$QT/plugins")'
exec "$WINE" "\$@"
RUN
chmod +x "$RUNNER"

# The offscreen platform of Qt for Windows takes its fonts from <Qt>/lib/fonts
# only (it does not honour QT_QPA_FONTDIR there): without them the pictures the
# GUI tests save under Wine show boxes instead of text.
if [ ! -e "$QT/lib/fonts/NotoSansCJK-Regular.ttc" ] && [ -w "$QT/lib" ]; then
  mkdir -p "$QT/lib/fonts"
  ln -sf /usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc "$QT/lib/fonts/"
fi

JOBS=$(nproc 2>/dev/null || echo 2)
tavo_configure_windows "$ROOT" "$BUILD" "$QT" -DCMAKE_CROSSCOMPILING_EMULATOR="$RUNNER"
cmake --build "$BUILD" -j "$JOBS"

# A program that fails is run once more: under load the Wine server now and then
# drops a starting program ("wine client error: recvmsg"); a real failure fails twice.
set +e
ctest --test-dir "$BUILD" --output-on-failure -j "$JOBS" --timeout 900 --repeat until-pass:2 2>&1 | tee "$BUILD/ctest.log"
rc=${PIPESTATUS[0]}
"$(dirname "$WINE")/wineserver" -k 2>/dev/null || true
# The setup program that the windows_package test made (only then: an older
# one in dist/ would be tested in its place).
if grep -qE "Test +#[0-9]+: windows_package \.+ +Passed" "$BUILD/ctest.log"; then
  "$ROOT/tools/installer_test.sh" "$BUILD" 2>&1 | tee "$BUILD/installer.log"
  irc=${PIPESTATUS[0]}
else
  echo "installer: 0 passed, 1 failed (no setup program: the windows_package test did not pass)" |
    tee "$BUILD/installer.log"
  irc=1
fi
set -e
[ "$rc" -ne 0 ] && exit "$rc"
exit "$irc"
