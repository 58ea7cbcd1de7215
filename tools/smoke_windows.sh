#!/usr/bin/env bash
# Starts the Windows package under Wine on an Xvfb display with the real
# `windows` platform plugin: the zip made by tools/package_windows.sh is
# unpacked into a fresh Wine prefix (under a Japanese folder name, with a NIVA
# folder in C:\HDD_KX2), and
#   - the main window "NIVAサポートツール" appears; its picture goes into
#     BUILD/gallery/windows_main_window.png;
#   - every DLL in the package was loaded (the zip carries nothing unused);
#   - a second start ends by itself within 3 s while the first runs;
#   - Alt+F4 closes the main window, the program ends and leaves user.ini beside it;
#   - without the NIVA folder the warning shows (BUILD/gallery/windows_niva_missing.png)
#     and the program ends once it is closed.
#   tools/smoke_windows.sh BUILD_DIR
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$1
case "$BUILD" in /*) ;; *) BUILD="$ROOT/$BUILD" ;; esac
. "$ROOT/tools/deps.sh"
tavo_need_packages xvfb xdotool imagemagick wine64 python3

VERSION=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$BUILD/CMakeCache.txt")
NAME=Tavo-$VERSION-win64
ZIP="$ROOT/dist/$NAME.zip"
[ -f "$ZIP" ] || { echo "smoke: $ZIP not found (tools/package_windows.sh makes it)" >&2; exit 1; }
WINE=/usr/lib/wine/wine64
[ -x "$WINE" ] || WINE=$(command -v wine64)
WINESERVER="$(dirname "$WINE")/wineserver"
[ -x "$WINESERVER" ] || WINESERVER=wineserver

WORK="$BUILD/smoke"
GALLERY="$BUILD/gallery"
rm -rf "$WORK"
mkdir -p "$WORK" "$GALLERY"
# The real platform plugin, the DLLs of the package only, the strings as UTF-8.
unset QT_QPA_PLATFORM QT_PLUGIN_PATH WINEPATH
export LC_ALL=C.UTF-8
export WINEPREFIX="$WORK/prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

XVFB_PID=""
cleanup() {
  "$WINESERVER" -k 2>/dev/null || true
  [ -z "$XVFB_PID" ] || kill "$XVFB_PID" 2>/dev/null || true
}
trap cleanup EXIT
fail() { echo "smoke: FAILED: $*" >&2; exit 1; }

# A display of its own: Xvfb names the first free one.
exec 3>"$WORK/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
XVFB_PID=$!
exec 3>&-
for _ in $(seq 50); do [ -s "$WORK/display" ] && break; sleep 0.1; done
[ -s "$WORK/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -1 "$WORK/display")"

echo "smoke: fresh Wine prefix"
"$WINE" wineboot --init >/dev/null 2>&1 || true
"$WINESERVER" -w
C="$WINEPREFIX/drive_c"
mkdir -p "$C/HDD_KX2" "$C/ツール"
python3 -m zipfile -e "$ZIP" "$C/ツール"
APP="$C/ツール/$NAME"
[ -f "$APP/tavo.exe" ] || fail "no tavo.exe in the zip"

# Window ids of the visible windows named exactly $1, waiting up to $2 seconds.
wait_window() {
  local ids=""
  for _ in $(seq $(($2 * 5))); do
    ids=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null || true)
    [ -n "$ids" ] && { echo "$ids"; return 0; }
    sleep 0.2
  done
  return 1
}
# Waits up to $2 seconds for process $1 to end: its exit status, 124 when it runs on.
wait_end() {
  for _ in $(seq $(($2 * 10))); do
    kill -0 "$1" 2>/dev/null || { wait "$1" || return $?; return 0; }
    sleep 0.1
  done
  return 124
}

echo "smoke: first start"
(cd "$APP" && WINEDEBUG=+loaddll exec "$WINE" tavo.exe) >"$WORK/first.log" 2>&1 &
FIRST=$!
MAIN=$(wait_window "NIVAサポートツール" 60) || fail "the main window did not appear"
[ "$(wc -l <<<"$MAIN")" -eq 1 ] || fail "more than one main window"
sleep 1  # the first paint
import -window "$MAIN" "$GALLERY/windows_main_window.png"
echo "smoke: main window shown, picture in $GALLERY/windows_main_window.png"

for dll in $(cd "$APP" && find . -iname '*.dll' | sed 's|.*/||'); do
  grep -qiF "\\$dll\"" "$WORK/first.log" || fail "$dll is in the package but was not loaded"
done

echo "smoke: second start"
start=$(date +%s%N)
(cd "$APP" && exec "$WINE" tavo.exe) >"$WORK/second.log" 2>&1 &
SECOND=$!
wait_end "$SECOND" 3 || fail "the second start did not end with status 0 within 3 s (status $?)"
echo "smoke: second start ended after $(( ($(date +%s%N) - start) / 1000000 )) ms"
kill -0 "$FIRST" 2>/dev/null || fail "the first copy ended"
[ "$(xdotool search --onlyvisible --name '^NIVAサポートツール$' | wc -l)" -eq 1 ] ||
  fail "the second start showed a window"

echo "smoke: closing the main window (Alt+F4)"
xdotool windowfocus --sync "$MAIN" key alt+F4
wait_end "$FIRST" 20 || fail "the program did not end with status 0 after its main window closed (status $?)"
[ -f "$APP/user.ini" ] || fail "no user.ini beside the program"

echo "smoke: start without the NIVA folder"
rmdir "$C/HDD_KX2"
(cd "$APP" && exec "$WINE" tavo.exe) >"$WORK/niva.log" 2>&1 &
THIRD=$!
BOX=$(wait_window "警告" 60) || fail "the warning did not appear"
sleep 1
import -window "$BOX" "$GALLERY/windows_niva_missing.png"
xdotool windowfocus --sync "$BOX" key Return
wait_end "$THIRD" 20 || fail "the program did not end with status 0 after the warning (status $?)"
echo "smoke: passed"
