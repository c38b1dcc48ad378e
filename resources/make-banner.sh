#!/usr/bin/env bash
# Draws the About page's banner and writes banner.jpg beside this script: a calm morning sea
# with a small green islet, the product name and a line of encouragement.
#
# 350 x 130 pixels, a baseline (not progressive) JPEG. The picture box shows only the top 125
# rows, so nothing that matters lies in the bottom five.
#
# Needs ImageMagick's convert and the WenQuanYi Micro Hei font (Debian: imagemagick,
# fonts-wqy-microhei). Run from anywhere: bash resources/make-banner.sh
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"

font=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc
[[ -r $font ]] || { echo "missing font: $font (apt-get install fonts-wqy-microhei)" >&2; exit 1; }

convert -size 350x130 gradient:'#F3FBF8-#CDEBEC' \
  `# the morning sun, with a soft halo` \
  \( -size 350x130 xc:none -fill '#FFF1CCD0' -draw 'circle 296,36 296,6' -blur 0x9 \) \
  -composite \
  -fill '#FFE4A8' -draw 'circle 296,36 296,17' \
  `# two gulls far away` \
  -fill none -stroke '#6C8F98' -strokewidth 1.2 \
  -draw "path 'M 226,20 q 4,-4 7,0 q 3,-4 7,0'" \
  -draw "path 'M 244,29 q 3,-3 5,0 q 2,-3 5,0'" \
  -stroke none \
  `# the islet: a hill, its shade and one leaning palm` \
  -fill '#5BAA8C' -draw "path 'M 232,98 C 246,80 268,74 284,80 C 296,84 306,92 316,98 Z'" \
  -fill '#468F76' -draw "path 'M 276,98 C 282,88 292,84 300,88 C 306,92 312,96 316,98 Z'" \
  -fill none -stroke '#6B5A45' -strokewidth 2 -draw "path 'M 262,80 q 2,-14 -4,-26'" \
  -stroke '#3F8A6A' -strokewidth 2.2 \
  -draw "path 'M 258,54 q -10,-4 -18,4'" -draw "path 'M 258,54 q -6,-8 -16,-8'" \
  -draw "path 'M 258,54 q 8,-8 18,-4'" -draw "path 'M 258,54 q 10,-2 14,8'" \
  -draw "path 'M 258,54 q 2,-9 -2,-14'" \
  -stroke none \
  `# the sea, its far line and a few calm waves` \
  -fill '#8CCFCF' \
  -draw "path 'M 0,98 C 80,95 160,99 240,97 C 290,96 320,97 350,98 L 350,130 L 0,130 Z'" \
  -fill '#74BDC1' -draw "path 'M 0,112 C 90,108 200,114 350,110 L 350,130 L 0,130 Z'" \
  -fill none -stroke '#EAF8F6' -strokewidth 1.2 \
  -draw "path 'M 30,105 q 6,-3 12,0 t 12,0'" \
  -draw "path 'M 118,103 q 6,-3 12,0 t 12,0'" \
  -draw "path 'M 196,107 q 5,-3 10,0 t 10,0'" \
  -draw "path 'M 262,104 q 6,-3 12,0 t 12,0'" \
  -draw "path 'M 70,116 q 5,-2 10,0 t 10,0'" \
  -draw "path 'M 320,115 q 5,-2 10,0'" \
  -stroke none \
  `# the sun's glitter on the water` \
  -fill none -stroke '#F6EBC8' -strokewidth 1.4 \
  -draw "path 'M 288,101 q 8,-2 16,0'" -draw "path 'M 292,106 q 4,-1.5 8,0'" \
  -stroke none \
  `# the texts, each with a soft light shadow so they stand off the sky` \
  -font "$font" -gravity NorthWest \
  -pointsize 32 -fill '#FFFFFF' -annotate +23+19 '澄屿rudi软件' \
  -fill '#1E5A61' -annotate +22+18 '澄屿rudi软件' \
  -pointsize 15 -fill '#FFFFFF' -annotate +25+64 '劳逸结合，健康工作' \
  -fill '#2F7A78' -annotate +24+63 '劳逸结合，健康工作' \
  `# a thin rule between the two lines` \
  -fill '#7FBFB5' -draw 'rectangle 24,58 170,58' \
  -strip -interlace none -sampling-factor 2x2,1x1,1x1 -quality 92 \
  JPEG:banner.jpg

echo "$(pwd)/banner.jpg: $(stat -c %s banner.jpg) bytes"
