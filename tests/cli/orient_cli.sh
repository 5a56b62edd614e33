#!/usr/bin/env bash
# lumvane-cli render and thumb with --auto-orient: a photo stored sideways
# (Exif Orientation 6) comes out upright; without the flag, as stored.
source "$(dirname "$0")/cli_common.sh"

photo="$(dirname "$0")/../../samples/04-turned-1600x1200-orientation-6.jpg"
header() { head -c 15 "$1" | tr '\n' ' ' | cut -d' ' -f1-4; }

expect 0 render "$photo" -o "$WORK/stored.ppm" --fit 160x160
same "P6 160 120 255" "$(header "$WORK/stored.ppm")" "render as stored"
expect 0 render "$photo" -o "$WORK/upright.ppm" --fit 160x160 --auto-orient
same "P6 120 160 255" "$(header "$WORK/upright.ppm")" "render upright"
# The view's quarter turn acts on the upright photo.
expect 0 render "$photo" -o "$WORK/turned.ppm" --fit 160x160 --auto-orient --rotate 1
same "P6 160 120 255" "$(header "$WORK/turned.ppm")" "upright, then turned"

expect 0 thumb "$photo" -o "$WORK/stored-thumb.ppm" --size 80
same "P6 80 60 255" "$(header "$WORK/stored-thumb.ppm")" "thumb as stored"
expect 0 thumb "$photo" -o "$WORK/upright-thumb.ppm" --size 80 --auto-orient
same "P6 60 80 255" "$(header "$WORK/upright-thumb.ppm")" "thumb upright"

# --colour-profile converts the thumbnail from the embedded profile, as for render.
p3="$(dirname "$0")/../data/fuzz/decoder/icc-p3-orientation-6.jpg"
expect 0 thumb "$p3" -o "$WORK/p3-stored.ppm" --size 8
expect 0 thumb "$p3" -o "$WORK/p3-colour.ppm" --size 8 --colour-profile
cmp -s "$WORK/p3-stored.ppm" "$WORK/p3-colour.ppm" && fail "thumb --colour-profile changed no colour"

# A file without the tag is the same with and without the flag.
jpeg "$WORK/plain.jpg" 40 20
expect 0 render "$WORK/plain.jpg" -o "$WORK/a.ppm"
expect 0 render "$WORK/plain.jpg" -o "$WORK/b.ppm" --auto-orient
cmp -s "$WORK/a.ppm" "$WORK/b.ppm" || fail "a file without the tag changed with --auto-orient"

finish
