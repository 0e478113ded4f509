#!/usr/bin/env bash
# Draws the program icon (resources/quillbay.png) with ImageMagick. The result is committed;
# run this again only to change the picture.
set -euo pipefail
cd "$(dirname "$0")/.."
convert -size 64x64 xc:none \
  -fill '#1f6fb2' -stroke '#0f3e66' -strokewidth 2 -draw 'roundrectangle 3,3 60,60 12,12' \
  -fill '#ffffff' -stroke none \
  -draw 'polygon 26,10 38,10 38,30 48,30 32,46 16,30 26,30' \
  -draw 'rectangle 14,50 50,54' \
  -fill '#f2c14e' -draw 'polygon 44,8 56,6 50,20 41,25' \
  -strip -define png:exclude-chunks=date,time PNG32:resources/quillbay.png
