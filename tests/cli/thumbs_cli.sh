#!/usr/bin/env bash
# lumvane-cli thumbs: the thumbnail worker over a whole folder.
source "$(dirname "$0")/cli_common.sh"

summary='^thumbnails: ([0-9]+) made, ([0-9]+) failed, ([0-9]+ from the cache|cache off), [0-9]+\.[0-9]{3} s, [0-9]+\.[0-9] per second$'

dir="$WORK/photos"
mkdir -p "$dir"
jpeg "$dir/wide.jpg" 160 120
jpeg "$dir/tall.jpeg" 60 80
jpeg "$dir/-dash.jpg" 32 32
jpeg "$dir/$(printf 'caf\351.JPG')" 40 20
broken "$dir/corrupt.jpg"
: >"$dir/empty.jpg"
mkfifo "$dir/pipe.jpg"   # must fail, not block the worker
cp "$(dirname "$0")/../../samples/04-turned-1600x1200-orientation-6.jpg" "$dir/turned.jpg"

expect 0 thumbs "$dir" -o "$WORK/out"
matches "$summary" "$(last_line)" "summary line"
same "thumbnails: 5 made, 3 failed, 0 from the cache" "$(last_line | cut -d, -f1-3)" "counts"
same 1 "$(printf '%s\n' "$OUT" | wc -l)" "stdout is the summary alone"
for name in corrupt.jpg empty.jpg pipe.jpg; do
    matches "$name: no thumbnail" "$ERR" "failure of $name is reported"
done

# OUTDIR/NAME.ppm with NAME the whole file name, bytes as they are; the
# longer side takes the size (default 120).
header() { head -c 15 "$1" | tr '\n' ' ' | cut -d' ' -f1-4; }
same "P6 120 90 255" "$(header "$WORK/out/wide.jpg.ppm")" "wide thumbnail"
same "P6 90 120 255" "$(header "$WORK/out/tall.jpeg.ppm")" "tall thumbnail"
same "P6 120 120 255" "$(header "$WORK/out/-dash.jpg.ppm")" "square thumbnail"
same "P6 120 60 255" "$(header "$WORK/out/$(printf 'caf\351.JPG').ppm")" "thumbnail of a name that is not UTF-8"
same "P6 90 120 255" "$(header "$WORK/out/turned.jpg.ppm")" "upright by default"
same 5 "$(ls "$WORK/out" | wc -l)" "one file per thumbnail made"

# The second run reads what the first stored: the two originals larger than
# the cache's 128 pixels.
expect 0 thumbs "$dir" -o "$WORK/warm"
same "thumbnails: 5 made, 3 failed, 2 from the cache" "$(last_line | cut -d, -f1-3)" "warm run"
same "P6 90 120 255" "$(header "$WORK/warm/turned.jpg.ppm")" "upright from the cache"
expect 0 thumbs "$dir" --no-cache
same "thumbnails: 5 made, 3 failed, cache off" "$(last_line | cut -d, -f1-3)" "--no-cache"
expect 0 thumbs "$dir" --as-stored -o "$WORK/stored"
same "thumbnails: 5 made, 3 failed, cache off" "$(last_line | cut -d, -f1-3)" "--as-stored"
same "P6 120 90 255" "$(header "$WORK/stored/turned.jpg.ppm")" "as stored"

expect 0 thumbs --size 40 --exif -- "$dir"
matches "$summary" "$(last_line)" "summary with --size"
same "thumbnails: 5 made, 3 failed" "$(last_line | cut -d, -f1-2)" "counts with --size"

mkdir -p "$WORK/empty"
expect 0 thumbs "$WORK/empty"
same "thumbnails: 0 made, 0 failed" "$(last_line | cut -d, -f1-2)" "empty folder"

expect 1 thumbs "$WORK/missing"
expect 1 thumbs "$dir/wide.jpg"
: >"$WORK/plain"
expect 1 thumbs "$dir" -o "$WORK/plain"
expect 2 thumbs
expect 2 thumbs "$dir" --size 0
expect 2 thumbs "$dir" --size 4097
expect 2 thumbs "$dir" --size 12x
expect 2 thumbs "$dir" -o
expect 2 thumbs "$dir" "$dir"
expect 2 thumbs -dash

finish
