#!/usr/bin/env bash
# Makes the Windows package dist/Tavo-<version>-win64.zip: tavo.exe,
# tavo-cli.exe, the Qt DLLs and plugins tavo.exe loads, the MinGW runtime DLLs,
# the FF1 column specification siyo4.csv, Qt's Japanese texts and a short guide;
# and beside it the per-user setup program dist/Tavo-<version>-setup.exe of the
# same files (NSIS, tools/installer/tavo.nsi).
#   tools/package_windows.sh             builds into build/win-release first
#   tools/package_windows.sh BUILD_DIR   packages a Windows build folder
# The Qt for Windows is found as tools/qt_windows.sh describes.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/tools/deps.sh"
. "$ROOT/tools/qt_windows.sh"
BUILD=${1:-build/win-release}
case "$BUILD" in /*) ;; *) BUILD="$ROOT/$BUILD" ;; esac
tavo_need_packages nsis python3

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
python3 - "$STAGE/はじめにお読みください.txt" "$VERSION" <<'GUIDE'
import sys
path, version = sys.argv[1:]
text = """Tavo（NIVAサポートツール）のはじめに

■ セットアップ（Tavo-{v}-setup.exe）で入れるとき

1. Tavo-{v}-setup.exe を実行してください。管理者の権限はいりません。
   インストール先は、はじめは %LOCALAPPDATA%\\Programs\\Tavo です
   （ほかのフォルダーも選べます。「Program Files」の下は選ばないでください。
   変換した出力ファイルと設定ファイル user.ini は、プログラムと同じフォルダーに
   書き込まれます）。
   スタートメニューと、デスクトップ（外すこともできます）に
   「NIVAサポートツール (Tavo)」ができます。

2. 新しい版にするときも、新しい版の setup.exe を実行してください。
   前と同じフォルダーに入ります。設定ファイル user.ini、まだ移動していない
   出力ファイル、実行履歴.csv など、プログラムのもの以外のファイルはそのまま残ります。
   siyo4.csv を編集していたときは、編集したものを残し、この版の既定の内容を
   siyo4.csv.new として同じフォルダーに置きます（セットアップがお知らせします）。
   Tavo が起動しているあいだは、セットアップもアンインストールも始まりません。
   Tavo を終了してから実行してください。

3. アンインストールは、Windows の「設定」の「アプリ」（またはコントロールパネルの
   「プログラムと機能」）で「NIVAサポートツール (Tavo)」を選んで行います。
   セットアップが入れたファイル、ショートカットと登録を削除します。
   user.ini、編集した siyo4.csv、出力ファイルなどは、フォルダーとともに残ります
   （残したファイルの一覧を表示します）。

■ 何台ものパソコンに入れるとき（サイレントモード）

   画面を出さずに、はじめのフォルダーへ入れる：
     Tavo-{v}-setup.exe /S
   フォルダーを指定して入れる（/D= は最後に、空白があっても引用符なしで）：
     Tavo-{v}-setup.exe /S /D=C:\\Tavo
   アンインストール：
     （インストール先）\\uninstall.exe /S

   サイレントモードではメッセージを表示せず、デスクトップのショートカットも作ります。
   siyo4.csv の扱いは画面のあるときと同じです。
   Tavo が起動しているときは、何も変えずに終了します（セットアップの終了コードは 2）。

■ zipファイル（Tavo-{v}-win64.zip）で使うとき

1. zipファイルを、書き込みのできるフォルダーに展開してください。
   例：ドキュメントやデスクトップ、C:\\Tavo など。
   「Program Files」の下には置かないでください。

2. 展開したフォルダーの tavo.exe を起動してください。
   フォルダーの中のほかのファイル（DLL、platforms、styles など）は
   tavo.exe が使いますので、移動や削除をしないでください。
   フォルダーごとであれば、別の場所へ移すことができます。
   新しい版にするときは、user.ini と、編集した siyo4.csv を残して
   ファイルを置き換えてください。

■ 出力ファイル

変換した出力ファイルは、確認画面の「ダウンロード」（または「保存」）ボタンで
「ダウンロード」フォルダーへ、保存先を指定したときはその保存先フォルダーへ
移されます（保存先は「詳細設定」の「保存先設定」で指定できます）。

NIVAがインストールされていない（C:\\HDD_KX2 がない）パソコンでは、
起動時にメッセージを表示して終了します。
""".format(v=version)
with open(path, "w", encoding="utf-8-sig", newline="\r\n") as f:
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

# The setup program installs the same files. Its lists of the program's own
# files come from the staged folder, so that the uninstaller removes exactly
# what the setup put there; siyo4.csv is handled on its own (the clinic edits it).
NSH="$BUILD/package/installer"
rm -rf "$NSH"
mkdir -p "$NSH"
SIZE_KB=$(python3 - "$STAGE" "$NSH" <<'LISTS'
import os, sys
stage, out = sys.argv[1:]
def esc(text):  # a file name inside an NSIS string in double quotes
    return text.replace("$", "$$").replace('"', '$\\"')
install, remove, dirs, size = [], [], [], 0
for folder, subdirs, files in os.walk(stage):
    subdirs.sort()
    rel = os.path.relpath(folder, stage)
    win = "" if rel == "." else "\\" + esc(rel.replace("/", "\\"))
    mine = [f for f in sorted(files) if not (rel == "." and f == "siyo4.csv")]
    if not mine:
        continue
    install.append('SetOutPath "$INSTDIR%s"' % win)
    for f in mine:
        install.append('File "%s"' % esc(os.path.join(folder, f)))
        remove.append('Delete "$INSTDIR%s\\%s"' % (win, esc(f)))
        size += os.path.getsize(os.path.join(folder, f))
    if win:
        dirs.append('RMDir "$INSTDIR%s"' % win)
size += os.path.getsize(os.path.join(stage, "siyo4.csv"))
install.append('SetOutPath "$INSTDIR"')
for name, lines in (("install.nsh", install), ("uninstall.nsh", remove + dirs[::-1])):
    with open(os.path.join(out, name), "w", encoding="utf-8-sig") as f:
        f.write("; Generated by tools/package_windows.sh from the staged package.\n")
        f.write("\n".join(lines) + "\n")
print((size + 1023) // 1024)
LISTS
)
# The version resource wants four numbers.
VI=$VERSION
while [ "$(tr -cd . <<<"$VI" | wc -c)" -lt 3 ]; do VI=$VI.0; done
SETUP="$ROOT/dist/Tavo-$VERSION-setup.exe"
rm -f "$SETUP"
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$VERSION" -DVIVERSION="$VI" -DSTAGE="$STAGE" \
  -DFILES="$NSH" -DICON="$ROOT/src/app/win/tavo.ico" -DSIZE_KB="$SIZE_KB" -DOUTFILE="$SETUP" \
  "$ROOT/tools/installer/tavo.nsi"
[ -f "$SETUP" ] || { echo "package_windows: makensis wrote no $SETUP" >&2; exit 1; }
echo "$SETUP"
