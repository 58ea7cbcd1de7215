#!/usr/bin/env bash
# Installs, updates and uninstalls dist/Tavo-<version>-setup.exe (made by
# tools/package_windows.sh) under Wine in a fresh prefix (BUILD/setup-prefix),
# on an Xvfb display:
#   - a silent install puts the zip's files into %LOCALAPPDATA%\Programs\Tavo,
#     the two shortcuts and the uninstall key; the installed tavo.exe shows its
#     main window; while it runs the setup and the uninstaller refuse;
#   - an update keeps user.ini, an edited siyo4.csv (the new default goes to
#     siyo4.csv.new) and every file that is not the program's, and restores the
#     program's own files;
#   - the silent uninstall leaves exactly those files and removes the rest,
#     the shortcuts and the key;
#   - /D= installs into a folder whose name holds a blank and Japanese; its
#     uninstall removes the folder;
#   - with its pages, the update says that siyo4.csv was kept and the
#     uninstall lists the files it leaves (pictures in BUILD/gallery:
#     windows_setup.png, windows_setup_siyo4.png, windows_uninstall_kept.png).
# Prints "installer: PASS: …" / "installer: FAIL: …" per check, then
# "installer: N passed, M failed"; exits non-zero when a check failed.
#   tools/installer_test.sh BUILD_DIR
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$1
case "$BUILD" in /*) ;; *) BUILD="$ROOT/$BUILD" ;; esac
. "$ROOT/tools/deps.sh"
tavo_need_packages xvfb xdotool imagemagick wine64 python3 || exit 1

VERSION=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$BUILD/CMakeCache.txt")
SETUP="$ROOT/dist/Tavo-$VERSION-setup.exe"
ZIP="$ROOT/dist/Tavo-$VERSION-win64.zip"
for f in "$SETUP" "$ZIP"; do
  [ -f "$f" ] || { echo "installer: $f not found (tools/package_windows.sh makes it)" >&2; exit 1; }
done
WINE=/usr/lib/wine/wine64
[ -x "$WINE" ] || WINE=$(command -v wine64)
WINESERVER="$(dirname "$WINE")/wineserver"
[ -x "$WINESERVER" ] || WINESERVER=wineserver

WORK="$BUILD/setup-test"
GALLERY="$BUILD/gallery"
export WINEPREFIX="$BUILD/setup-prefix"
rm -rf "$WORK" "$WINEPREFIX"
mkdir -p "$WORK/home" "$GALLERY"
# A home of its own: Wine links the prefix's Desktop to $HOME/Desktop, and the
# shortcuts must land in the prefix, not on the desktop of whoever runs this.
export HOME="$WORK/home"
unset QT_QPA_PLATFORM QT_PLUGIN_PATH WINEPATH XDG_DESKTOP_DIR XDG_CONFIG_HOME XDG_DATA_HOME
export LC_ALL=C.UTF-8 WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

PASSED=0
FAILED=0
XVFB_PID=""
TAVO_PID=""
cleanup() {
  "$WINESERVER" -k 2>/dev/null || true
  [ -z "$XVFB_PID" ] || kill "$XVFB_PID" 2>/dev/null || true
}
trap cleanup EXIT
pass() { echo "installer: PASS: $*"; PASSED=$((PASSED + 1)); }
fail() { echo "installer: FAIL: $*"; FAILED=$((FAILED + 1)); }
check() {  # description command...
  local what=$1; shift
  local out
  if out=$("$@" 2>&1); then pass "$what${out:+ — $out}"; else fail "$what${out:+ — $out}"; fi
}
finish() {
  echo "installer: $PASSED passed, $FAILED failed"
  [ "$FAILED" -eq 0 ]
  exit
}
abort() { fail "$*"; finish; }

exec 3>"$WORK/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
XVFB_PID=$!
exec 3>&-
for _ in $(seq 50); do [ -s "$WORK/display" ] && break; sleep 0.1; done
[ -s "$WORK/display" ] || abort "Xvfb did not start"
export DISPLAY=":$(head -1 "$WORK/display")"

echo "installer: fresh Wine prefix $WINEPREFIX"
"$WINE" wineboot --init >/dev/null 2>&1 || true
"$WINESERVER" -w
C="$WINEPREFIX/drive_c"
USERDIR=$(find "$C/users" -mindepth 1 -maxdepth 1 -type d ! -name Public | head -1)
[ -n "$USERDIR" ] || abort "the prefix has no user folder"
WINUSER=$(basename "$USERDIR")
mkdir -p "$C/HDD_KX2"
# The setup's Japanese pages ask for ＭＳ Ｐゴシック and message boxes use
# Tahoma, neither with Japanese under Wine: Noto stands in, for the pictures.
"$WINE" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ Ｐゴシック' \
  /d 'Noto Sans CJK JP' /f >/dev/null 2>&1
message_font=$(python3 -c "
import struct  # LOGFONTW: height, width, escapement, orientation, weight, 8 bytes, face
face = 'Noto Sans CJK JP'.encode('utf-16-le').ljust(64, b'\\0')
print((struct.pack('<5l8B', -12, 0, 0, 0, 400, 0, 0, 0, 128, 0, 0, 0, 0) + face).hex())")
"$WINE" reg add 'HKCU\Control Panel\Desktop\WindowMetrics' /v MessageFont /t REG_BINARY \
  /d "$message_font" /f >/dev/null 2>&1
APP="$USERDIR/AppData/Local/Programs/Tavo"
APP_WIN="C:\\users\\$WINUSER\\AppData\\Local\\Programs\\Tavo"
LINK_NAME="NIVAサポートツール (Tavo).lnk"
START_LINK="$USERDIR/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/$LINK_NAME"
DESKTOP_LINK="$USERDIR/Desktop/$LINK_NAME"
KEY='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tavo'

# The package's files, as the zip holds them: what the setup must install.
EXPECTED="$WORK/expected"
mkdir -p "$EXPECTED"
python3 -m zipfile -e "$ZIP" "$EXPECTED"
EXPECTED="$EXPECTED/Tavo-$VERSION-win64"
[ -f "$EXPECTED/tavo.exe" ] || abort "no tavo.exe in $ZIP"

winpath() { printf 'Z:%s' "${1//\//\\}"; }
# Runs a Windows program to its end; its exit status.
run() { "$WINE" "$@" >>"$WORK/wine.log" 2>&1; }
# The uninstaller copies itself away and starts the copy: wait for the prefix
# to go quiet.
settle() { timeout 120 "$WINESERVER" -w; }

# Compares folder $1 with the package: its files hold the package's bytes;
# prints what differs. $2 lists ("|"-separated) the names that may be there
# besides, or differ from the package's (an edited siyo4.csv).
same_as_package() {
  python3 - "$EXPECTED" "$1" "${2:-}" <<'PY'
import filecmp, os, sys
expected, actual, extra = sys.argv[1], sys.argv[2], set(sys.argv[3].split("|")) - {""}
problems = []
want = set()
for folder, _, files in os.walk(expected):
    for f in files:
        rel = os.path.relpath(os.path.join(folder, f), expected)
        want.add(rel)
        other = os.path.join(actual, rel)
        if not os.path.isfile(other):
            problems.append("missing " + rel)
        elif rel not in extra and not filecmp.cmp(os.path.join(folder, f), other, shallow=False):
            problems.append("differs " + rel)
for folder, _, files in os.walk(actual):
    for f in files:
        rel = os.path.relpath(os.path.join(folder, f), actual)
        if rel not in want and rel not in extra:
            problems.append("unexpected " + rel)
if problems:
    print("; ".join(sorted(problems)))
    sys.exit(1)
print(f"{len(want)} files of the package" + (", and " + ", ".join(sorted(extra)) if extra else ""))
PY
}
# The user's files saved before the update hold the same bytes in the folder.
user_files_kept() {
  (cd "$WORK/user-before" && find . -type f -print0 | LC_ALL=C sort -z |
    xargs -0 -I{} cmp -- "{}" "$APP/{}") && echo "$(cd "$WORK/user-before" && find . -type f | wc -l) files"
}
# What is left in folder $1, as sorted relative paths joined by "|".
listing() { (cd "$1" && find . -mindepth 1 | sed 's|^\./||' | LC_ALL=C sort | paste -sd'|'); }
# The uninstall key's values as "name=data" lines (numbers in decimal); fails
# when the key is missing. Exported to a file: reg query prints names in the
# console's code page, which has no Japanese here.
reg_values() {
  local file="$WORK/key.reg"
  rm -f "$file"
  "$WINE" reg export "$KEY" "$(winpath "$file")" /y >/dev/null 2>&1 || return 1
  python3 - "$file" <<'PY'
import re, sys
for line in open(sys.argv[1], encoding="utf-16").read().splitlines():
    m = re.match(r'^"((?:[^"\\]|\\.)*)"=(.*)$', line)
    if not m:
        continue
    name, data = m.groups()
    if data.startswith('"'):
        value = re.sub(r'\\(.)', r'\1', data[1:-1])
    elif data.startswith("dword:"):
        value = str(int(data[6:], 16))
    else:
        value = data
    print(f"{name}={value}")
PY
}
reg_value() { reg_values | sed -n "s/^$1=//p"; }
is_link_to_tavo() {  # a shell link whose target is tavo.exe in folder $2
  python3 - "$1" "$2" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
target = (sys.argv[2] + "\\tavo.exe").lower()
if data[:4] != b"L\0\0\0":
    sys.exit("not a shell link")
# The target's path is stored in the system's code page and in UTF-16.
text = data.decode("latin-1").lower() + data[1:].decode("utf-16-le", "replace").lower() + \
    data.decode("utf-16-le", "replace").lower()
if target not in text:
    sys.exit("does not point to " + target)
print("points to " + sys.argv[2] + "\\tavo.exe")
PY
}
wait_window() {  # regex seconds: visible window ids
  local ids=""
  for _ in $(seq $(($2 * 5))); do
    ids=$(xdotool search --onlyvisible --name "$1" 2>/dev/null || true)
    [ -n "$ids" ] && { echo "$ids"; return 0; }
    sleep 0.2
  done
  return 1
}
# Presses Return in the window whose name starts with $1 (its pages' default
# buttons; each page adds to the name) until a second such window, its message
# box, shows, for up to $2 seconds; prints the box's id. The first page's
# picture goes to $3.
walk_to_box() {
  local first="" ids
  for _ in $(seq $(($2 / 2))); do
    ids=$(xdotool search --onlyvisible --name "^$1" 2>/dev/null || true)
    if [ -n "$first" ] && [ "$(grep -c . <<<"$ids")" -ge 2 ]; then
      grep -vxF "$first" <<<"$ids" | head -1
      return 0
    fi
    if [ -n "$ids" ]; then
      if [ -z "$first" ]; then
        first=$(head -1 <<<"$ids")
        sleep 1
        [ -z "${3:-}" ] || import -window "$first" "$3"
      fi
      xdotool windowfocus --sync "$first" key Return 2>/dev/null || true
    fi
    sleep 2
  done
  return 1
}
# Presses Return in the windows whose name starts with $1 until none is left.
close_windows() {
  local ids
  for _ in $(seq $(($2 / 2))); do
    ids=$(xdotool search --onlyvisible --name "^$1" 2>/dev/null || true)
    [ -z "$ids" ] && return 0
    xdotool windowfocus --sync "$(head -1 <<<"$ids")" key Return 2>/dev/null || true
    sleep 2
  done
  return 1
}
wait_end() {  # pid seconds
  for _ in $(seq $(($2 * 10))); do
    kill -0 "$1" 2>/dev/null || { wait "$1" || return $?; return 0; }
    sleep 0.1
  done
  return 124
}

echo "== install (silent) ($SECONDS s) =="
run "$SETUP" /S
check "silent install ends with status 0" test $? -eq 0
check "installed files in $APP_WIN" same_as_package "$APP" "uninstall.exe"
check "uninstaller $APP_WIN\\uninstall.exe" test -f "$APP/uninstall.exe"
check "Start menu shortcut" is_link_to_tavo "$START_LINK" "$APP_WIN"
check "desktop shortcut" is_link_to_tavo "$DESKTOP_LINK" "$APP_WIN"
reg_values >"$WORK/key-install.txt"
check "uninstall key $KEY" test -s "$WORK/key-install.txt"
sed 's/^/installer:     /' "$WORK/key-install.txt"
KEY_OK=1
for nv in "DisplayName=NIVAサポートツール (Tavo)" "DisplayVersion=$VERSION" "Publisher=Tavo" \
          "DisplayIcon=$APP_WIN\\tavo.exe,0" "InstallLocation=$APP_WIN" \
          "UninstallString=\"$APP_WIN\\uninstall.exe\"" \
          "QuietUninstallString=\"$APP_WIN\\uninstall.exe\" /S"; do
  grep -qxF "$nv" "$WORK/key-install.txt" || { fail "key value $nv"; KEY_OK=0; }
done
size=$(sed -n 's/^EstimatedSize=//p' "$WORK/key-install.txt")
kb=$(find "$EXPECTED" -type f -printf '%s\n' | awk '{ s += $1 } END { print int((s + 1023) / 1024) }')
if [ -n "$size" ] && [ "$size" -ge $((kb * 9 / 10)) ] && [ "$size" -le $((kb * 11 / 10)) ]; then
  :; else fail "EstimatedSize ${size:-missing} for $kb KB of files"; KEY_OK=0; fi
[ "$KEY_OK" = 1 ] && pass "uninstall key values: name, version, publisher, icon, location, size, (quiet) uninstall command"
check "version resource of the setup" python3 - "$SETUP" "$VERSION" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
for key in ("ProductName", "ProductVersion", "FileVersion"):
    if key.encode("utf-16-le") not in data:
        sys.exit("no " + key)
if sys.argv[2].encode("utf-16-le") not in data:
    sys.exit("no version " + sys.argv[2])
if b"\xbd\x04\xef\xfe" not in data:  # VS_FIXEDFILEINFO's signature
    sys.exit("no fixed file information")
print("ProductName, ProductVersion, FileVersion " + sys.argv[2])
PY

echo "== the installed program ($SECONDS s) =="
(cd "$APP" && exec "$WINE" tavo.exe) >"$WORK/tavo.log" 2>&1 &
TAVO_PID=$!
if MAIN=$(wait_window '^NIVAサポートツール$' 60); then
  pass "the installed tavo.exe shows its main window"
  run "$SETUP" /S
  rc=$?
  check "the setup refuses while Tavo runs (status $rc)" test "$rc" -eq 2
  check "… and changed nothing" same_as_package "$APP" "uninstall.exe|user.ini"
  run "$APP/uninstall.exe" /S "_?=$APP_WIN"
  rc=$?
  check "the uninstaller refuses while Tavo runs (status $rc)" test "$rc" -eq 2
  check "… and removed nothing" same_as_package "$APP" "uninstall.exe|user.ini"
  xdotool windowfocus --sync "$(head -1 <<<"$MAIN")" key alt+F4
  wait_end "$TAVO_PID" 20 || fail "tavo.exe did not end after Alt+F4"
  check "tavo.exe wrote user.ini beside itself" test -f "$APP/user.ini"
else
  fail "the installed tavo.exe shows its main window"
fi
settle
# The program may not have written it (the check above says so); the update
# must keep one either way.
[ -f "$APP/user.ini" ] || printf '[PARAM]\r\nCB1=1\r\n' >"$APP/user.ini"

echo "== update over an unedited install ($SECONDS s) =="
run "$SETUP" /S
check "update ends with status 0" test $? -eq 0
check "unedited siyo4.csv: replaced, no siyo4.csv.new" same_as_package "$APP" "uninstall.exe|user.ini"

echo "== update over an edited install ($SECONDS s) =="
printf '[99] 追加した列,XX_0001,1\r\n' >>"$APP/siyo4.csv"
printf '; the clinic'"'"'s own settings\r\n' >>"$APP/user.ini"
printf 'dummy receipt\r\n' >"$APP/(202111提出_社保)RECEIPTC.uke"
printf 'date,run\r\n' >"$APP/実行履歴.csv"
mkdir -p "$APP/メモ"
printf 'x' >"$APP/メモ/clinic.txt"
USER_FILES=$(printf '%s\n' "(202111提出_社保)RECEIPTC.uke" siyo4.csv user.ini メモ メモ/clinic.txt 実行履歴.csv |
  LC_ALL=C sort | paste -sd'|')
mkdir -p "$WORK/user-before"
(cd "$APP" && cp -a siyo4.csv user.ini "(202111提出_社保)RECEIPTC.uke" 実行履歴.csv メモ "$WORK/user-before/")
# An older install: one DLL missing, the guide of another version.
rm "$APP/$(cd "$EXPECTED" && find . -name '*.dll' | LC_ALL=C sort | tail -1)"
printf 'old guide\r\n' >"$APP/はじめにお読みください.txt"
run "$SETUP" /S
check "update ends with status 0" test $? -eq 0
check "the program's own files restored" same_as_package "$APP" \
  "uninstall.exe|user.ini|siyo4.csv|siyo4.csv.new|(202111提出_社保)RECEIPTC.uke|実行履歴.csv|メモ/clinic.txt"
check "edited siyo4.csv kept" cmp "$WORK/user-before/siyo4.csv" "$APP/siyo4.csv"
check "siyo4.csv.new is the shipped default" cmp "$EXPECTED/siyo4.csv" "$APP/siyo4.csv.new"
check "user.ini kept" cmp "$WORK/user-before/user.ini" "$APP/user.ini"
check "outputs, 実行履歴.csv and the user's folder kept" user_files_kept
check "uninstall key still there" test -n "$(reg_value DisplayName)"

echo "== uninstall (silent) ($SECONDS s) =="
run "$APP_WIN\\uninstall.exe" /S
settle
left=$(listing "$APP")
echo "installer:     left in the folder: ${left//|/, }"
check "uninstall leaves exactly user.ini, the edited siyo4.csv and the user's files" \
  test "$left" = "$USER_FILES"
check "… with their contents" user_files_kept
check "Start menu shortcut removed" test ! -e "$START_LINK"
check "desktop shortcut removed" test ! -e "$DESKTOP_LINK"
check "uninstall key removed" test -z "$(reg_values)"

echo "== /D=folder and an uninstall that leaves nothing ($SECONDS s) =="
DIR_WIN='C:\クリニック ツール\Tavo'
DIR="$C/クリニック ツール/Tavo"
# As typed at a prompt: /D= unquoted, which an argument of wine would not be.
run cmd /c "$(winpath "$SETUP") /S /D=$DIR_WIN"
check "install with /D= ends with status 0" test $? -eq 0
check "installed files in $DIR_WIN" same_as_package "$DIR" "uninstall.exe"
check "InstallLocation is $DIR_WIN" test "$(reg_value InstallLocation)" = "$DIR_WIN"
run "$DIR_WIN\\uninstall.exe" /S
settle
check "uninstall removes the folder it leaves empty" test ! -e "$DIR"
check "uninstall key removed" test -z "$(reg_values)"

echo "== with its pages: an update over the edited siyo4.csv, then the uninstall ($SECONDS s) =="
# The default folder still holds what the uninstall above left.
"$WINE" "$SETUP" >>"$WORK/wine.log" 2>&1 &
PAGES_PID=$!
if BOX=$(walk_to_box 'NIVAサポートツール \(Tavo\) セットアップ' 90 "$GALLERY/windows_setup.png"); then
  pass "the setup's pages lead to its message about siyo4.csv ($GALLERY/windows_setup_siyo4.png)"
  import -window "$BOX" "$GALLERY/windows_setup_siyo4.png"
  xdotool windowfocus --sync "$BOX" key Return
else
  fail "the setup's pages lead to its message about siyo4.csv"
fi
# The finish page would start Tavo: everything is done by then.
sleep 1
kill "$PAGES_PID" 2>/dev/null || true
settle
check "… edited siyo4.csv kept, siyo4.csv.new placed" sh -c \
  "cmp '$WORK/user-before/siyo4.csv' '$APP/siyo4.csv' && cmp '$EXPECTED/siyo4.csv' '$APP/siyo4.csv.new'"
"$WINE" "$APP_WIN\\uninstall.exe" >>"$WORK/wine.log" 2>&1
if BOX=$(walk_to_box 'NIVAサポートツール \(Tavo\) アンインストール' 90); then
  pass "the uninstaller lists the files it leaves ($GALLERY/windows_uninstall_kept.png)"
  import -window "$BOX" "$GALLERY/windows_uninstall_kept.png"
  xdotool windowfocus --sync "$BOX" key Return
  close_windows 'NIVAサポートツール \(Tavo\) アンインストール' 30 || fail "the uninstaller's last page did not close"
else
  fail "the uninstaller lists the files it leaves"
fi
settle
left=$(listing "$APP")
check "… and leaves exactly them" test "$left" = "$USER_FILES"
check "… with their contents" user_files_kept
check "… removing the shortcuts and the key" test ! -e "$START_LINK" -a ! -e "$DESKTOP_LINK" -a -z "$(reg_values)"
finish
