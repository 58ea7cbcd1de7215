#!/usr/bin/env bash
# Builds the windowed program and starts it on the desktop's display.
# When TAVO_NIVA_DIR names no NIVA folder, a sample one under build/run is used,
# so that the main window opens on a machine without NIVA.
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$(pwd)
. tools/deps.sh
tavo_need_packages cmake make g++ qt6-base-dev fonts-noto-cjk xvfb xauth libgtest-dev \
  libbenchmark-dev libcli11-dev qt6-translations-l10n

BUILD="$ROOT/build/run"
JOBS=$(nproc 2>/dev/null || echo 2)
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DTAVO_WITH_TESTS=OFF \
  -DTAVO_WITH_BENCH=OFF >/dev/null
cmake --build "$BUILD" --target tavo -j "$JOBS"

if [ -z "${TAVO_NIVA_DIR:-}" ]; then
  mkdir -p "$BUILD/sample-niva/HDD_KX2/FF1"
  export TAVO_NIVA_DIR="$BUILD/sample-niva/HDD_KX2"
  echo "NIVA folder (sample): $TAVO_NIVA_DIR"
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  cat >&2 <<MSG
No display: tavo is a windowed program. Run it on a virtual display with
  xvfb-run -a -s "-screen 0 1280x1024x24" ./run.sh
or set DISPLAY to an X server.
MSG
  exit 1
fi

exec "$BUILD/tavo" "$@"
