#!/usr/bin/env bash
# Draws the program icon (a document with a check mark on a blue tile) with
# ImageMagick and writes src/app/win/tavo.ico in the sizes Windows asks for.
#   tools/make_icon.sh
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
convert -size 256x256 xc:none \
  -fill '#1f5fa8' -draw 'roundrectangle 8,8 247,247 40,40' \
  -fill white -draw 'polygon 64,36 160,36 200,76 200,220 64,220' \
  -fill '#b9d3f0' -draw 'polygon 160,36 160,76 200,76' \
  -stroke '#1f5fa8' -strokewidth 10 -draw 'line 88,100 176,100' -draw 'line 88,128 176,128' \
  -stroke '#2e9d4a' -strokewidth 22 -fill none -draw 'stroke-linejoin round stroke-linecap round polyline 92,168 120,196 176,140' \
  "$TMP/tavo.png"
for s in 16 24 32 48 64; do convert "$TMP/tavo.png" -resize ${s}x$s "$TMP/tavo-$s.png"; done
convert "$TMP"/tavo-{16,24,32,48,64}.png "$TMP/tavo.png" -depth 8 "$ROOT/src/app/win/tavo.ico"
