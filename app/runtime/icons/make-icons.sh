#!/usr/bin/env bash
# Draws the toolbar images and the application icon (ImageMagick). The PNG files are kept
# in the repository; run this again only after changing a drawing.
set -euo pipefail
cd "$(dirname "$0")"

# Toolbar images, drawn on a 16x16 grid; the 32 px versions are the same drawing doubled.
tool() {  # name, draw commands on the 16 px grid
  local name=$1; shift
  convert -size 16x16 xc:none +antialias -strokewidth 1 "$@" "$name-16.png"
  convert "$name-16.png" -filter point -resize 32x32 "$name-32.png"
}

tool new \
  -fill white -stroke '#505050' -draw 'polygon 3,1 10,1 13,4 13,14 3,14' \
  -fill '#d8d8d8' -draw 'polygon 10,1 10,4 13,4'
tool open \
  -fill '#f2c94c' -stroke '#8a6d1d' -draw 'polygon 1,3 6,3 7,5 14,5 14,13 1,13' \
  -fill '#f7dc84' -draw 'polygon 3,7 15,7 13,13 1,13'
tool save \
  -fill '#3d6fb5' -stroke '#1f3d66' -draw 'polygon 1,1 13,1 15,3 15,15 1,15' \
  -fill white -stroke none -draw 'rectangle 4,2 11,6' \
  -fill '#1f3d66' -draw 'rectangle 9,3 10,5' \
  -fill '#dfe8f5' -draw 'rectangle 3,9 12,14'
tool cut \
  -fill none -stroke '#404040' -draw 'line 5,1 10,9' -draw 'line 10,1 5,9' \
  -stroke '#c0392b' -draw 'circle 4,12 4,10' -draw 'circle 11,12 11,10'
tool copy \
  -fill white -stroke '#505050' -draw 'rectangle 1,1 9,11' \
  -fill white -stroke '#3d6fb5' -draw 'rectangle 6,4 14,14' \
  -stroke '#9ab3d9' -draw 'line 8,7 12,7' -draw 'line 8,9 12,9' -draw 'line 8,11 11,11'
tool paste \
  -fill '#b5834a' -stroke '#6b4a22' -draw 'rectangle 2,2 12,15' \
  -fill '#d0d0d0' -stroke '#505050' -draw 'rectangle 5,1 9,3' \
  -fill white -stroke '#3d6fb5' -draw 'rectangle 7,6 14,14'
tool about \
  -fill '#2f6fd0' -stroke '#1c4588' -draw 'circle 7,8 7,1' \
  -fill white -stroke none -draw 'rectangle 6,4 8,5' -draw 'rectangle 6,7 8,12'

# Application icon: a manuscript page with writing on a teal tile.
app() {  # size
  local s=$1
  convert -size 64x64 xc:none -fill '#1b8a7e' -draw 'roundrectangle 2,2 61,61 10,10' \
    -fill white -draw 'polygon 16,10 40,10 50,20 50,54 16,54' \
    -fill '#bfe3de' -draw 'polygon 40,10 40,20 50,20' \
    -stroke '#1b8a7e' -strokewidth 3 \
    -draw 'line 22,26 44,26' -draw 'line 22,33 44,33' -draw 'line 22,40 44,40' \
    -draw 'line 22,47 36,47' \
    -stroke '#e0563b' -strokewidth 5 -draw 'line 20,18 33,18' \
    -resize "${s}x${s}" "quirtle-$s.png"
}
convert -size 16x16 xc:none +antialias -fill '#1b8a7e' -draw 'rectangle 0,0 15,15' \
  -fill white -draw 'polygon 3,1 10,1 13,4 13,14 3,14' \
  -fill '#e0563b' -draw 'rectangle 5,3 8,4' \
  -fill '#1b8a7e' -draw 'rectangle 5,7 11,7' -draw 'rectangle 5,9 11,9' -draw 'rectangle 5,11 9,11' \
  quirtle-16.png
for s in 32 48 64 128; do app "$s"; done
convert -size 128x128 xc:none -fill '#1b8a7e' -draw 'roundrectangle 4,4 123,123 20,20' \
  -fill white -draw 'polygon 32,20 80,20 100,40 100,108 32,108' \
  -fill '#bfe3de' -draw 'polygon 80,20 80,40 100,40' \
  -stroke '#1b8a7e' -strokewidth 6 \
  -draw 'line 44,52 88,52' -draw 'line 44,66 88,66' -draw 'line 44,80 88,80' \
  -draw 'line 44,94 72,94' \
  -stroke '#e0563b' -strokewidth 10 -draw 'line 40,36 66,36' quirtle-128.png
