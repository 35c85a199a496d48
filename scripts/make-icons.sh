#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Draws the application icon (a dark red disc with a white M, the colours of the logo) and
# writes it in the hicolor sizes to assets/icons/. The PNGs are committed; run this again
# only to change the icon. Needs ffmpeg built with libfreetype and the DejaVu fonts.
set -euo pipefail
cd "$(dirname "$0")/.."
font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
big=$(mktemp --suffix=.png)
trap 'rm -f "$big"' EXIT

# Drawn at 1024x1024 and scaled down, so every size is smoothly anti-aliased.
disc="if(lte(hypot(X-512,Y-512),452),1,0)"
rim="if(between(hypot(X-512,Y-512),452,500),1,0)"
ffmpeg -v error -y -f lavfi -i "color=c=black@0:s=1024x1024,format=rgba" -frames:v 1 \
    -vf "geq=r='140*$disc+184*$rim':g='26*$disc+52*$rim':b='26*$disc+52*$rim':a='255*($disc+$rim)',\
drawtext=fontfile=$font:text=M:fontsize=600:fontcolor=white:x=(w-tw)/2:y=(h-th)/2+10" "$big"

for size in 16 24 32 48 64 128 256; do
    folder="assets/icons/hicolor/${size}x${size}/apps"
    mkdir -p "$folder"
    ffmpeg -v error -y -i "$big" -vf "scale=${size}:${size}:flags=lanczos" -pix_fmt rgba \
        "$folder/morvale.png"
done
echo "Icons written to assets/icons/hicolor."
