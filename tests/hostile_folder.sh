# Sourced by the hostile-folder tests (end-to-end and command line).
#
# make_hostile_folder DIR SAMPLES: fills DIR with what a careless or hostile
# folder holds, next to good JPEGs. Needs ImageMagick's convert. Sets:
#   HOSTILE_GOOD     good JPEGs (odd names included)
#   HOSTILE_BROKEN   regular files that are not whole JPEGs
#   HOSTILE_OTHER    a FIFO and a folder, both with a JPEG name
#   HOSTILE_ZERO     the zero-byte file
# In the folder's name order: -dash, 0-good, 1-zero, 2-text, 3-png,
# 4-truncated, 5-huge, 6-progressive-corrupt, 7-thin, 8-wide, f.jpg/,
# n<newline>l, p.jpg
# (FIFO), z-good, and a name that is not UTF-8 (sorted last).
make_hostile_folder() {
    local dir=$1 samples=$2
    mkdir -p "$dir"
    cp "$samples/01-meadow-640x480.jpg" "$dir/-dash.jpg"
    cp "$samples/02-hills-1600x1200.jpg" "$dir/0-good.jpg"
    : >"$dir/1-zero.jpg"
    printf 'This is a note, not a photograph.\n' >"$dir/2-text.jpg"
    convert -size 64x48 gradient:red-blue "png:$dir/3-png.jpg"
    head -c 20000 "$samples/02-hills-1600x1200.jpg" >"$dir/4-truncated.jpg"
    make_huge_header "$dir/5-huge.jpg"
    make_corrupt_progressive "$samples/06-progressive-1920x1080.jpg" "$dir/6-progressive-corrupt.jpg"
    # Slivers whose thumbnails are one pixel across (4:2:0, as cameras write).
    make_noise_jpeg "$dir/7-thin.jpg" 16 65500
    make_noise_jpeg "$dir/8-wide.jpg" 65500 16
    mkdir "$dir/f.jpg"
    cp "$samples/01-meadow-640x480.jpg" "$dir/f.jpg/inside.jpg"
    cp "$samples/05-gray-1024x768.jpg" "$dir/n"$'\n'"l.jpg"
    mkfifo "$dir/p.jpg"
    cp "$samples/05-gray-1024x768.jpg" "$dir/z-good.jpg"
    cp "$samples/01-meadow-640x480.jpg" "$dir/"$'\xff\xfe'".jpg"
    HOSTILE_GOOD=("$dir/-dash.jpg" "$dir/0-good.jpg" "$dir/7-thin.jpg" "$dir/8-wide.jpg" "$dir/n"$'\n'"l.jpg"
        "$dir/z-good.jpg" "$dir/"$'\xff\xfe'".jpg")
    HOSTILE_BROKEN=("$dir/1-zero.jpg" "$dir/2-text.jpg" "$dir/3-png.jpg" "$dir/4-truncated.jpg"
        "$dir/5-huge.jpg" "$dir/6-progressive-corrupt.jpg")
    HOSTILE_OTHER=("$dir/f.jpg" "$dir/p.jpg")
    HOSTILE_ZERO="$dir/1-zero.jpg"
}

# make_noise_jpeg OUT W H: a 4:2:0 JPEG of noise, of any size (ImageMagick
# refuses sides beyond its policy's limit).
make_noise_jpeg() {
    { printf 'P6\n%d %d\n255\n' "$2" "$3"; head -c $(($2 * $3 * 3)) /dev/urandom; } | cjpeg -quality 80 >"$1"
}

# make_huge_header OUT: a small baseline JPEG whose frame header claims
# 65500 x 65500 pixels; its scan data covers a few blocks.
make_huge_header() {
    local out=$1 offset
    convert -size 32x24 gradient:red-blue -quality 80 -interlace none "jpg:$out"
    offset=$(LC_ALL=C grep -obUaP '\xff\xc0' "$out" | head -n 1 | cut -d: -f1)
    [ -n "$offset" ] || return 1
    # FFC0, length (2), precision (1), then height and width (2 each).
    printf '\xff\xdc\xff\xdc' | dd of="$out" bs=1 seek=$((offset + 5)) conv=notrunc status=none
}

# make_corrupt_progressive IN OUT: a progressive JPEG with 4 KiB in its
# middle overwritten by garbage (no markers: the scans go on over it).
make_corrupt_progressive() {
    local in=$1 out=$2 size
    cp "$in" "$out"
    size=$(stat -c %s "$out")
    for _ in $(seq 256); do printf '\x5a\x13\xc4\x00\x13\xa5\xda\x00\x37\x00\x80\xd0\x00\x01\xfe\x7e'; done |
        dd of="$out" bs=1 seek=$((size / 2)) conv=notrunc status=none
}
