# Sourced by tools/cross_test.sh and tools/package_windows.sh: finds a Qt for
# Windows (MinGW-w64), in this order:
#   1. TAVO_QT_WINDOWS, when set;
#   2. the prebuilt tarball in ../shared/qt-windows/, unpacked into build/qt-windows/;
#   3. an earlier build of tools/build_qt_windows.sh in build/qt-windows/built;
#   4. a fresh build with that script into build/qt-windows/built (about 50 minutes).
# Usage: QT=$(tavo_qt_windows ROOT)   (messages go to stderr)

tavo_qt_windows() {
  local root=$1
  local cache="$root/build/qt-windows"
  if [ -n "${TAVO_QT_WINDOWS:-}" ]; then
    [ -f "$TAVO_QT_WINDOWS/lib/cmake/Qt6/qt.toolchain.cmake" ] || {
      echo "TAVO_QT_WINDOWS=$TAVO_QT_WINDOWS holds no Qt 6 for Windows" >&2; return 1; }
    echo "$TAVO_QT_WINDOWS"
    return 0
  fi

  local tarball
  tarball=$(ls "$root"/../shared/qt-windows/qt-*-mingw-w64.tar.xz 2>/dev/null | tail -1 || true)
  if [ -n "$tarball" ]; then
    local name stamp
    name=$(basename "$tarball" .tar.xz)
    # The tarball's name, size and time: a replaced tarball is unpacked afresh.
    stamp=$(stat -c '%n %s %Y' "$tarball")
    if [ "$(cat "$cache/$name/.tavo-unpacked-from" 2>/dev/null)" != "$stamp" ]; then
      echo "Unpacking $tarball into $cache" >&2
      rm -rf "${cache:?}/$name"
      mkdir -p "$cache"
      tar xf "$tarball" -C "$cache"
      echo "$stamp" >"$cache/$name/.tavo-unpacked-from"
    fi
    echo "$cache/$name"
    return 0
  fi

  if [ ! -f "$cache/built/.tavo-qt-complete" ]; then
    mkdir -p "$cache"
    echo "No Qt for Windows found: building it from Debian's qt6-base sources into" \
         "$cache/built. This takes about 50 minutes on two cores." >&2
    "$root/tools/build_qt_windows.sh" "$cache/built" >"$cache-build.log" 2>&1 || {
      echo "The Qt build failed; see $cache-build.log" >&2; return 1; }
  fi
  echo "$cache/built"
}

# Configures BUILD for Windows against the Qt prefix QT (extra cmake options
# follow). A folder configured against another toolchain starts afresh: the
# toolchain of a configured folder cannot change.
tavo_configure_windows() {
  local root=$1 build=$2 qt=$3
  shift 3
  local toolchain="$qt/lib/cmake/Qt6/qt.toolchain.cmake"
  if [ -f "$build/CMakeCache.txt" ] &&
     ! grep -qxF "CMAKE_TOOLCHAIN_FILE:FILEPATH=$toolchain" "$build/CMakeCache.txt"; then
    rm -rf "$build/CMakeCache.txt" "$build/CMakeFiles"
  fi
  cmake -S "$root" -B "$build" \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DTAVO_WITH_BENCH=OFF "$@" >/dev/null
}

# The MinGW runtime DLLs that the Qt DLLs and tavo.exe load, one path a line.
tavo_mingw_runtime_dlls() {
  local dll path
  for dll in libgcc_s_seh-1.dll libstdc++-6.dll libwinpthread-1.dll; do
    path=$(x86_64-w64-mingw32-g++-posix -print-file-name="$dll")
    [ -f "$path" ] || { echo "MinGW runtime $dll not found" >&2; return 1; }
    realpath "$path"
  done
}
