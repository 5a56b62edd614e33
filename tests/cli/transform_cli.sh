#!/usr/bin/env bash
# lumvane-cli transform: files decode to exactly what jpegtran's lossless
# transform of them decodes to; refusals leave the file byte for byte; the
# Exif block stays valid and follows the turn.
source "$(dirname "$0")/cli_common.sh"

ops=("--rotate 90:-rotate 90" "--rotate 180:-rotate 180" "--rotate 270:-rotate 270" "--flip-h:-flip horizontal"
     "--flip-v:-flip vertical" "--transpose:-transpose" "--transverse:-transverse")
leftovers() { find "$WORK" -name '.*turning*' | head -n 1; }

# same_pixels MODE SOURCE: every operation against jpegtran MODE (-perfect or -trim).
same_pixels() {
    local mode=$1 src=$2 op name
    for op in "${ops[@]}"; do
        name=${op%%:*}
        cp "$src" "$WORK/w.jpg"
        # shellcheck disable=SC2086 # the options are words
        expect 0 transform $name "-$mode" "$WORK/w.jpg"
        # shellcheck disable=SC2086 # the jpegtran options are words
        jpegtran ${op#*:} "$mode" "$src" >"$WORK/ref.jpg"
        cmp -s <(djpeg -pnm "$WORK/w.jpg") <(djpeg -pnm "$WORK/ref.jpg") ||
            fail "$name $mode of $(basename "$src") decodes unlike jpegtran's"
    done
}

jpeg "$WORK/even.jpg" 64 48
djpeg -pnm "$WORK/even.jpg" >"$WORK/even.ppm"
for kind in "s420:-sample 2x2" "s422:-sample 2x1" "s444:-sample 1x1" "grey:-grayscale" "progressive:-progressive" \
    "restarts:-restart 1" "arithmetic:-arithmetic"; do
    # shellcheck disable=SC2086
    cjpeg ${kind#*:} "$WORK/even.ppm" >"$WORK/${kind%%:*}.jpg"
    same_pixels -perfect "$WORK/${kind%%:*}.jpg"
done
od -An -tx1 -v "$WORK/w.jpg" | tr -s ' \n' ' ' | grep -q ' ff c9 ' ||
    fail "an arithmetic-coded file came out in another coding"

# Partial edge blocks: refused by default (file untouched, no temporary
# file), trimmed like jpegtran -trim when asked.
jpeg "$WORK/odd.jpg" 61 37
cp "$WORK/odd.jpg" "$WORK/odd-copy.jpg"
expect 1 transform --rotate 90 "$WORK/odd.jpg"
matches "odd.jpg: its size 61x37 is not a whole number" "$ERR" "refusal names the file and why"
cmp -s "$WORK/odd.jpg" "$WORK/odd-copy.jpg" || fail "a refused file changed"
same_pixels -trim "$WORK/odd-copy.jpg"

# A batch: the bad file is named, the others are done; exit 1.
broken "$WORK/bad.jpg"
cp "$WORK/s420.jpg" "$WORK/a.jpg"
cp "$WORK/s444.jpg" "$WORK/b.jpg"
expect 1 transform --rotate 180 --progress "$WORK/a.jpg" "$WORK/bad.jpg" "$WORK/b.jpg"
same 1 "$(grep -c 'lumvane-cli transform' <<<"$ERR")" "one line for the one bad file"
matches "bad.jpg: not a JPEG" "$ERR" "the bad file named"
matches "progress: 3/3 files" "$ERR" "progress lines"
cmp -s <(djpeg -pnm "$WORK/a.jpg") <(jpegtran -rotate 180 "$WORK/s420.jpg" | djpeg -pnm) || fail "batch: a.jpg not turned"
[ -z "$(leftovers)" ] || fail "a temporary file was left: $(leftovers)"

# --keep-mtime keeps the modification time.
touch -d 2001-02-03T04:05:06 "$WORK/a.jpg"
expect 0 transform --flip-h --keep-mtime "$WORK/a.jpg"
same "2001-02-03" "$(date -r "$WORK/a.jpg" +%F)" "--keep-mtime"

# Exif: a photo stored turned (Orientation 6) with a thumbnail and XMP comes
# out upright, valid, with the same tags except the ones the turn changes.
if command -v exiftool >/dev/null; then
    jpeg "$WORK/exif.jpg" 64 48
    jpeg "$WORK/thumb.jpg" 40 24
    exiftool -q -overwrite_original '-ThumbnailImage<='"$WORK/thumb.jpg" -Orientation#=6 -Make=Maker \
        -ExifImageWidth=64 -ExifImageHeight=48 -XMP-tiff:Orientation#=6 "$WORK/exif.jpg"
    cp "$WORK/exif.jpg" "$WORK/upright.jpg"
    expect 0 transform --auto-orient "$WORK/upright.jpg"
    same "0 0 0" "$(exiftool -s3 -n -validate -warning "$WORK/upright.jpg" | xargs)" "exiftool -validate"
    cmp -s <(djpeg -pnm "$WORK/upright.jpg") <(jpegtran -rotate 90 "$WORK/exif.jpg" | djpeg -pnm) ||
        fail "auto: pixels unlike jpegtran -rotate 90"
    exiftran -a -o "$WORK/exiftran.jpg" "$WORK/exif.jpg" 2>/dev/null
    same "$(exiftool -s3 -n -Orientation "$WORK/exiftran.jpg")" "$(exiftool -s3 -n -Orientation "$WORK/upright.jpg")" \
        "auto: orientation unlike exiftran -a"
    cmp -s <(djpeg -pnm "$WORK/upright.jpg") <(djpeg -pnm "$WORK/exiftran.jpg") || fail "auto: pixels unlike exiftran -a"
    tags() { exiftool -a -G1 -s -n -x FileName -x FileSize -x FileModifyDate -x FileAccessDate \
        -x FileInodeChangeDate -x ThumbnailImage -x ThumbnailLength "$1" | tr -s ' '; }
    same "< [Composite] ImageSize : 64 48
< [ExifIFD] ExifImageHeight : 48
< [ExifIFD] ExifImageWidth : 64
< [File] ImageHeight : 48
< [File] ImageWidth : 64
< [IFD0] Orientation : 6
< [XMP-tiff] Orientation : 6
> [Composite] ImageSize : 48 64
> [ExifIFD] ExifImageHeight : 64
> [ExifIFD] ExifImageWidth : 48
> [File] ImageHeight : 64
> [File] ImageWidth : 48
> [IFD0] Orientation : 1
> [XMP-tiff] Orientation : 1" "$(diff <(tags "$WORK/exif.jpg") <(tags "$WORK/upright.jpg") | grep '^[<>]' | sort)" \
        "tags changed by the turn"
    same "P6 16 40" "$(exiftool -b -ThumbnailImage "$WORK/upright.jpg" | djpeg -pnm | head -c 8 | tr '\n' ' ' |
        cut -d' ' -f1-3)" "thumbnail turned (its partial row trimmed)"
    expect 0 transform --auto-orient "$WORK/upright.jpg"
    # Keeping the pixels of a partial edge writes the composed orientation.
    cp "$WORK/odd-copy.jpg" "$WORK/tagged.jpg"
    expect 0 transform --rotate 270 --tag-only "$WORK/tagged.jpg"
    same "8 0 0 0" "$(exiftool -s3 -n -Orientation -validate "$WORK/tagged.jpg" | tr '\n' ' ' | xargs)" "tag only"
    cmp -s <(djpeg -pnm "$WORK/tagged.jpg") <(djpeg -pnm "$WORK/odd-copy.jpg") || fail "tag only: pixels changed"
fi

# A disk that fills up during the write (a small tmpfs, where a mount
# namespace can be had): refused, the photo byte for byte, nothing left.
if unshare -m true 2>/dev/null; then
    jpeg "$WORK/full.jpg" 400 304
    # shellcheck disable=SC2016 # expanded by the inner shell
    unshare -m bash -c 'mount --make-rprivate / && mkdir -p "$2/fs" &&
        mount -t tmpfs -o size=$(($(stat -c %s "$2/full.jpg") * 3 / 2)) lumvane-test "$2/fs" || exit 3
        cp "$2/full.jpg" "$2/fs/" && "$1" transform --rotate 90 "$2/fs/full.jpg" 2>"$2/fs.err"
        [ $? -eq 1 ] && cmp -s "$2/full.jpg" "$2/fs/full.jpg" && [ "$(ls -A "$2/fs")" = full.jpg ]' _ "$CLI" "$WORK"
    status=$?
    [ "$status" -eq 0 ] || [ "$status" -eq 3 ] || fail "a full disk: $(cat "$WORK/fs.err" 2>/dev/null)"
fi

# A FIFO is refused at once, not waited on.
mkfifo "$WORK/fifo.jpg"
expect 1 transform --rotate 90 "$WORK/fifo.jpg"

# Turns given together make the one transform they compose to, in order.
for pair in "--rotate 90 --flip-h:-transpose" "--flip-h --rotate 90:-transverse" \
    "--rotate 90 --rotate 90:-rotate 180" "--transpose --rotate 270:-flip vertical"; do
    cp "$WORK/s420.jpg" "$WORK/w.jpg"
    # shellcheck disable=SC2086 # the options are words
    expect 0 transform ${pair%%:*} "$WORK/w.jpg"
    # shellcheck disable=SC2086
    cmp -s <(djpeg -pnm "$WORK/w.jpg") <(jpegtran ${pair#*:} "$WORK/s420.jpg" | djpeg -pnm) ||
        fail "$pair: unlike jpegtran"
done

# Usage errors, the file left as it was: no turn, an old operation word, a
# bad angle, --auto-orient with a turn, two edge answers, turns that cancel.
expect 2 transform --rotate 90
cp "$WORK/s420.jpg" "$WORK/u.jpg"
for args in "" "rotate90" "--spin" "--rotate 45" "--edges trim --flip-v" "--auto-orient --rotate 90" \
    "--trim --tag-only --flip-h" "--flip-h --flip-h"; do
    # shellcheck disable=SC2086
    expect 2 transform $args "$WORK/u.jpg"
done
cmp -s "$WORK/u.jpg" "$WORK/s420.jpg" || fail "a usage error changed the file"
finish
