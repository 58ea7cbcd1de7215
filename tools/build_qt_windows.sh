#!/usr/bin/env bash
# Builds Qt for 64-bit Windows (MinGW-w64): Core, Gui, Widgets and Test as DLLs
# with the windows, offscreen and minimal platform plugins, the Windows Vista
# style and the ICO image plugin. The source is Debian's own qt6-base source
# package of the host Qt's version, whose moc, rcc and uic the build uses.
#   tools/build_qt_windows.sh PREFIX
# Takes about 50 minutes on two cores. Needs root (or sudo) for the packages
# and, when the machine has none, a deb-src entry beside its Debian entry.
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 PREFIX" >&2; exit 2; }
ROOT=$(cd "$(dirname "$0")/.." && pwd)
PREFIX=$1
case "$PREFIX" in /*) ;; *) PREFIX="$(pwd)/$PREFIX" ;; esac
. "$ROOT/tools/deps.sh"
tavo_need_packages dpkg-dev xz-utils cmake ninja-build g++-mingw-w64-x86-64-posix \
  qt6-base-dev qt6-base-dev-tools

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo

# A deb-src entry with the same URIs, suites and components as the Debian
# entry, so that `apt-get source` finds the host Qt's source package.
if ! grep -Eqs '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/*.list \
     /etc/apt/sources.list.d/*.sources; then
  echo "Adding a deb-src entry for the Qt sources"
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
      $SUDO tee /etc/apt/sources.list.d/tavo-deb-src.sources >/dev/null
  else
    grep -hE '^deb ' /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
      sed 's/^deb /deb-src /' | $SUDO tee /etc/apt/sources.list.d/tavo-deb-src.list >/dev/null
  fi
  $SUDO apt-get update -qq
fi

WORK=$(mktemp -d "${TMPDIR:-/tmp}/tavo-qt-windows.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"
# Exactly the host Qt's version: its moc, rcc and uic must match the sources.
VERSION=$(dpkg-query -W -f='${source:Version}' qt6-base-dev)
apt-get source --download-only "qt6-base=$VERSION"
tar xf qt6-base_*.orig.tar.xz
SRC=$(find . -maxdepth 1 -type d -name 'qtbase-everywhere-src-*' | head -1)
[ -n "$SRC" ] || { echo "build_qt_windows: no qtbase sources in the package" >&2; exit 1; }

# Debian's tarball lacks src/3rdparty/wintab, hence no tablet events. With
# Direct2D off, directwrite3 must be off too, or qwindows.dll fails to link.
cmake -G Ninja -S "$SRC" -B build \
  -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64.cmake" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DCMAKE_INSTALL_PREFIX="$PREFIX" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
  -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_opengl=OFF -DINPUT_opengl=no \
  -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_tabletevent=OFF \
  -DFEATURE_vulkan=OFF -DFEATURE_testlib=ON -DFEATURE_icu=OFF \
  -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF \
  -DFEATURE_system_freetype=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF \
  -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF -DFEATURE_system_doubleconversion=OFF -DFEATURE_zstd=OFF \
  -DFEATURE_direct2d=OFF -DFEATURE_directwrite3=OFF
ninja -C build
rm -rf "$PREFIX"
ninja -C build install
# Marks a finished installation: an interrupted build is never taken for one.
touch "$PREFIX/.tavo-qt-complete"
echo "Qt for Windows installed in $PREFIX"
