#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Draws the window's logo (a dark red "HD DVD" plate beside the name "Morvale" on white, the
# colours of the icon) and writes it as assets/logo.jpg (125x31, for 1x) and
# assets/logo@2x.jpg (250x62, for 1.5x and 2x scaling, which the window scales down from).
# The JPEGs are committed; run this again only to change the logo. Needs ffmpeg built with
# libfreetype and the DejaVu fonts.
set -euo pipefail
cd "$(dirname "$0")/.."
font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
big=$(mktemp --suffix=.png)
trap 'rm -f "$big"' EXIT

# Drawn at 8x the 1x size (1000x248) and scaled down, so both sizes are smoothly
# anti-aliased from the same drawing.
red=0x8C1A1A
ffmpeg -v error -y -f lavfi -i "color=c=white:s=1000x248" -frames:v 1 -vf "\
drawbox=x=16:y=16:w=368:h=216:color=$red:t=fill,\
drawtext=fontfile=$font:text=HD:fontsize=92:fontcolor=white:x=56:y=30,\
drawtext=fontfile=$font:text=DVD:fontsize=92:fontcolor=white:x=56:y=128,\
drawtext=fontfile=$font:text=Morvale:fontsize=128:fontcolor=$red:x=412:y=(h-th)/2-6" "$big"

for scale in 1 2; do
    name=assets/logo.jpg
    [ "$scale" = 1 ] || name=assets/logo@${scale}x.jpg
    ffmpeg -v error -y -i "$big" -vf "scale=$((125 * scale)):$((31 * scale)):flags=lanczos" \
        -q:v 2 -pix_fmt yuvj444p "$name"
done
echo "Logo written to assets/logo.jpg and assets/logo@2x.jpg."
