#!/usr/bin/env bash
# Draws the library's two device icons and writes them as .ico files into src/resources/icons.
# Needs ImageMagick and icoutils; the build itself uses only the committed .ico files.
# Each icon holds, in this order: 48, 32 and 16 pixels at 256 colours, 256 pixels as PNG, and
# 48, 32 and 16 pixels at 32 bits.
set -euo pipefail
cd "$(dirname "$0")/.."
out=src/resources/icons
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A two-bay desktop storage box, dark, seen from the front: the icon of the device type.
draw_tower() {
    convert -size 256x256 xc:none \
        -fill '#00000040' -draw 'roundrectangle 52,30 214,250 22,22' \
        -fill '#2b2f36' -stroke '#15181c' -strokewidth 4 -draw 'roundrectangle 44,20 208,240 22,22' \
        -stroke none -fill '#3a404a' -draw 'roundrectangle 56,32 196,66 10,10' \
        -fill '#38d46a' -draw 'circle 74,49 81,49' \
        -fill '#3aa0ff' -draw 'circle 98,49 105,49' \
        -fill '#9aa3ad' -draw 'rectangle 140,44 182,54' \
        -fill '#c9ced4' -stroke '#6c737c' -strokewidth 3 \
        -draw 'roundrectangle 60,80 192,150 8,8' -draw 'roundrectangle 60,162 192,232 8,8' \
        -stroke none -fill '#7d858f' \
        -draw 'rectangle 74,106 178,112' -draw 'rectangle 74,120 150,126' \
        -draw 'rectangle 74,188 178,194' -draw 'rectangle 74,202 150,208' \
        -fill '#38d46a' -draw 'circle 176,132 181,132' -draw 'circle 176,214 181,214' \
        "$1"
}

# A four-bay storage unit in silver with a network link beneath: the icon of the hardware id.
draw_unit() {
    convert -size 256x256 xc:none \
        -fill '#00000040' -draw 'roundrectangle 20,40 246,196 18,18' \
        -fill '#d7dce2' -stroke '#5d6670' -strokewidth 4 -draw 'roundrectangle 12,30 238,186 18,18' \
        -stroke none -fill '#1f6fd1' -draw 'roundrectangle 12,30 238,58 18,18' -draw 'rectangle 12,44 238,58' \
        -fill '#ffffff' -draw 'circle 34,44 40,44' \
        -fill '#f2f4f7' -stroke '#7b848e' -strokewidth 3 \
        -draw 'roundrectangle 26,70 70,174 6,6' -draw 'roundrectangle 78,70 122,174 6,6' \
        -draw 'roundrectangle 130,70 174,174 6,6' -draw 'roundrectangle 182,70 226,174 6,6' \
        -stroke none -fill '#1f6fd1' \
        -draw 'circle 48,160 53,160' -draw 'circle 100,160 105,160' \
        -draw 'circle 152,160 157,160' -draw 'circle 204,160 209,160' \
        -fill '#5d6670' -draw 'rectangle 122,186 134,216' -draw 'rectangle 40,212 216,222' \
        -fill '#1f6fd1' -stroke '#0f3f7a' -strokewidth 3 \
        -draw 'roundrectangle 20,206 56,240 5,5' -draw 'roundrectangle 110,206 146,240 5,5' \
        -draw 'roundrectangle 200,206 236,240 5,5' \
        "$1"
}

make_icon() {
    local name=$1 drawing=$2
    local big=$work/$name-256.png
    "$drawing" "PNG32:$big"
    local args=()
    for size in 48 32 16; do
        convert "$big" -resize ${size}x${size} "PNG32:$work/$name-$size-32.png"
        # 256 colours with an on/off mask: what an 8-bit icon image can hold.
        convert "$work/$name-$size-32.png" -channel A -threshold 50% +channel \
            -colors 255 "PNG8:$work/$name-$size-8.png"
        args+=(-b 8 "$work/$name-$size-8.png")
    done
    args+=(-r "$big")
    for size in 48 32 16; do
        args+=(-b 32 "$work/$name-$size-32.png")
    done
    icotool -c -o "$out/$name.ico" "${args[@]}"
    icotool -l "$out/$name.ico"
}

make_icon device_type draw_tower
make_icon hardware_id draw_unit
