#!/usr/bin/env bash
# Makes the Windows package dist/Tavo-<version>-win64.zip: tavo.exe,
# tavo-cli.exe, the Qt DLLs and plugins tavo.exe loads, the MinGW runtime DLLs,
# the FF1 column specification siyo4.csv, Qt's Japanese texts and a short guide.
#   tools/package_windows.sh             builds into build/win-release first
#   tools/package_windows.sh BUILD_DIR   packages a Windows build folder
# The Qt for Windows is found as tools/qt_windows.sh describes.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/tools/deps.sh"
. "$ROOT/tools/qt_windows.sh"
BUILD=${1:-build/win-release}
case "$BUILD" in /*) ;; *) BUILD="$ROOT/$BUILD" ;; esac

if [ ! -f "$BUILD/CMakeCache.txt" ]; then
  tavo_need_packages cmake make g++-mingw-w64-x86-64-posix qt6-base-dev qt6-translations-l10n python3
  QT=$(tavo_qt_windows "$ROOT")
  tavo_configure_windows "$ROOT" "$BUILD" "$QT" -DTAVO_WITH_TESTS=OFF
fi
cmake --build "$BUILD" -j "$(nproc 2>/dev/null || echo 2)" --target tavo tavo-cli

cache() { sed -n "s/^$1:[A-Z]*=//p" "$BUILD/CMakeCache.txt"; }
VERSION=$(cache CMAKE_PROJECT_VERSION)
TOOLCHAIN=$(cache CMAKE_TOOLCHAIN_FILE)
QT=${TOOLCHAIN%/lib/cmake/Qt6/qt.toolchain.cmake}
[ -f "$QT/bin/Qt6Core.dll" ] || { echo "package_windows: $BUILD is not a Windows build against Qt" >&2; exit 1; }

NAME=Tavo-$VERSION-win64
STAGE="$BUILD/package/$NAME"
rm -rf "$STAGE"
mkdir -p "$STAGE/platforms" "$STAGE/styles"
# Programs and DLLs without their symbol tables (what the loader needs stays).
ship() {  # file folder-in-package
  x86_64-w64-mingw32-strip --strip-unneeded -o "$STAGE/$2/$(basename "$1")" "$1"
}
ship "$BUILD/tavo.exe" .
ship "$BUILD/tavo-cli.exe" .
cp "$BUILD/siyo4.csv" "$BUILD/qtbase_ja.qm" "$STAGE/"
# What tavo.exe loads, no more: the smoke test starts the program from this
# zip and checks that every DLL in it was loaded.
for dll in Qt6Core Qt6Gui Qt6Widgets; do ship "$QT/bin/$dll.dll" .; done
ship "$QT/plugins/platforms/qwindows.dll" platforms
ship "$QT/plugins/styles/qwindowsvistastyle.dll" styles
for dll in $(tavo_mingw_runtime_dlls); do ship "$dll" .; done

# Notepad of every Windows version reads UTF-8 with a byte order mark and CR LF.
python3 - "$STAGE/はじめにお読みください.txt" <<'GUIDE'
import sys
text = """Tavo（NIVAサポートツール）のはじめに

1. このzipファイルを、書き込みのできるフォルダーに展開してください。
   例：ドキュメントやデスクトップ、C:\\Tavo など。
   「Program Files」の下には置かないでください。変換した出力ファイルと
   設定ファイル（user.ini）は、プログラムと同じフォルダーに書き込まれます。

2. 展開したフォルダーの tavo.exe を起動してください。
   フォルダーの中のほかのファイル（DLL、platforms、styles など）は
   tavo.exe が使いますので、移動や削除をしないでください。
   フォルダーごとであれば、別の場所へ移すことができます。

3. 変換した出力ファイルは、確認画面の「ダウンロード」（または「保存」）ボタンで
   「ダウンロード」フォルダーへ、保存先を指定したときはその保存先フォルダーへ
   移されます（保存先は「詳細設定」の「保存先設定」で指定できます）。

NIVAがインストールされていない（C:\\HDD_KX2 がない）パソコンでは、
起動時にメッセージを表示して終了します。
"""
with open(sys.argv[1], "w", encoding="utf-8-sig", newline="\r\n") as f:
    f.write(text)
GUIDE

# The zip holds one folder; file names are stored as UTF-8 with the flag that
# Windows' own extraction reads.
mkdir -p "$ROOT/dist"
ZIP="$ROOT/dist/$NAME.zip"
rm -f "$ZIP"
python3 - "$BUILD/package" "$NAME" "$ZIP" <<'ZIPPY'
import os, sys, zipfile
base, name, out = sys.argv[1:]
with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
    for folder, dirs, files in os.walk(os.path.join(base, name)):
        dirs.sort()
        for f in sorted(files):
            path = os.path.join(folder, f)
            z.write(path, os.path.relpath(path, base))
ZIPPY
echo "$ZIP"
