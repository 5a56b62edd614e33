#!/usr/bin/env bash
# Every subcommand on a hostile folder (empty, text, PNG, truncated, huge
# header, corrupt progressive, FIFO, folder and odd names among good JPEGs):
# a clean 0 or 1 with a reason, never a crash or a hang.
source "$(dirname "$0")/cli_common.sh"
source "$(dirname "$0")/../hostile_folder.sh"

dir="$WORK/hostile"
make_hostile_folder "$dir" "$(dirname "$0")/../../samples" || fail "could not make the folder"
out="$WORK/out"
mkdir -p "$out"

# Whole files: every subcommand succeeds.
for f in "${HOSTILE_GOOD[@]}"; do
    expect 0 info -- "$f"
    expect 0 render "$f" -o "$out/r.ppm" --fit 200x200 --rotate 1
    expect 0 thumb "$f" -o "$out/t.ppm" --exif
done
# Slivers: the thumbnail's short side is one pixel, both sizes, Exif or not.
for f in "$dir/7-thin.jpg" "$dir/8-wide.jpg"; do
    for size in 80 120; do
        expect 0 thumb "$f" -o "$out/t.ppm" --size "$size"
        matches "^P6 ($size 1|1 $size) 255" "$(head -c 15 "$out/t.ppm" | tr '\n' ' ')" "thumbnail of $f at $size"
    done
done
# Broken files: the report always; a picture where the data allows one,
# else 1 with a reason.
for f in "${HOSTILE_BROKEN[@]}"; do
    expect 0 info "$f"
    for args in "--fit 1280x1024" "--rotate 3 --hq" ""; do
        # shellcheck disable=SC2086
        run render "$f" -o "$out/r.png" $args
        [ "$STATUS" -le 1 ] || fail "render $f $args exited $STATUS"
        [ "$STATUS" -eq 0 ] || [ -n "$ERR" ] || fail "render $f $args failed without a reason"
    done
    run thumb "$f" -o "$out/t.bmp"
    [ "$STATUS" -le 1 ] || fail "thumb $f exited $STATUS"
done
# Files that can't be shown at all.
for f in "$HOSTILE_ZERO" "$dir/2-text.jpg" "$dir/3-png.jpg"; do
    expect 1 render "$f" -o "$out/r.ppm"
    expect 1 thumb "$f" -o "$out/t.ppm"
done
# An empty file is told as such, not by the bytes the reader puts past its end.
for cmd in render thumb; do
    expect 1 "$cmd" "$HOSTILE_ZERO" -o "$out/e.ppm"
    matches 'the file is empty$' "$ERR" "$cmd of an empty file"
done
# A flood of comment segments: the first 1000 listed, the others counted.
good="$out/plain.jpg"
jpeg "$good" 16 16
{
    head -c 2 "$good"
    for _ in $(seq 1200); do printf '\377\376\000\003c'; done
    tail -c +3 "$good"
} >"$out/comments.jpg"
expect 0 info "$out/comments.jpg"
same "… 200 more comment segments not shown" "$(printf '%s\n' "$OUT" | grep 'more comment' | sed 's/^ *//')" "comments not shown"
# A truncated photo and a header over little data still give a picture.
expect 0 render "$dir/4-truncated.jpg" -o "$out/r.ppm" --fit 320x240
expect 0 render "$dir/5-huge.jpg" -o "$out/r.ppm" --fit 1280x1024
expect 0 thumb "$dir/5-huge.jpg" -o "$out/t.ppm"
# At its own size the huge one is more than a display image may hold.
expect 1 render "$dir/5-huge.jpg" -o "$out/r.ppm"
# Not files.
for f in "${HOSTILE_OTHER[@]}"; do
    expect 1 info "$f"
    expect 1 render "$f" -o "$out/r.ppm"
    expect 1 thumb "$f" -o "$out/t.ppm"
done

# The folder: 14 images listed (the FIFO included, the folder not), and
# thumbnails and steps across them all.
expect 0 list "$dir"
same 14 "$(printf '%s\n' "$OUT" | grep -c '\.jpg$')" "listed images"
printf '%s\n' "$OUT" | grep -q '^f\.jpg$' && fail "the folder f.jpg is listed"
expect 0 thumbs "$dir" -o "$out/thumbs"
matches '^thumbnails: [0-9]+ made, [0-9]+ failed' "$(last_line)" "thumbs summary"
expect 0 step "$dir" --fit 1280x1024
same "steps: 13," "$(last_line | cut -d' ' -f1-2)" "steps across the folder"
expect 0 step "$dir" --fit 640x480 --rotate 1 --flip-h --pause 20
matches '^5-huge\.jpg: [0-9.]+ ms' "$(printf '%s\n' "$OUT" | grep '^5-huge')" "huge header shown"
matches '^p\.jpg: .*not decodable$' "$(printf '%s\n' "$OUT" | grep '^p\.jpg')" "FIFO"

# A progressive file cut in its first AC scan and extended by a hole to
# 50 GiB, which never ends as far as reading goes, and a small progressive
# 4:4:4 file claiming 13000 x 13000 pixels: a clean answer within the time
# limit, a picture where the data allows, else "too large".
{ printf 'P6\n640 480\n255\n'; head -c $((640 * 480 * 3)) /dev/urandom; } | cjpeg -progressive >"$WORK/p.jpg"
second_scan=$(LC_ALL=C grep -obUaP '\xff\xda' "$WORK/p.jpg" | sed -n 2p | cut -d: -f1)
head -c $((second_scan + 2000)) "$WORK/p.jpg" >"$out/never.jpg"
truncate -s 50G "$out/never.jpg"
{ printf 'P6\n64 64\n255\n'; head -c $((64 * 64 * 3)) /dev/urandom; } | cjpeg -progressive -sample 1x1 >"$out/bomb.jpg"
frame=$(LC_ALL=C grep -obUaP '\xff\xc2' "$out/bomb.jpg" | head -n 1 | cut -d: -f1)
printf '\x32\xc8\x32\xc8' | dd of="$out/bomb.jpg" bs=1 seek=$((frame + 5)) conv=notrunc status=none
for args in "info" "thumb -o $out/t.ppm" "render -o $out/r.ppm" "render -o $out/r.ppm --fit 1280x1024"; do
    # shellcheck disable=SC2086
    expect 0 ${args%% *} "$out/never.jpg" ${args#"${args%% *}"}
    [ "$args" = info ] && continue
    # shellcheck disable=SC2086
    expect 1 ${args%% *} "$out/bomb.jpg" ${args#"${args%% *}"}
    matches 'too large' "$ERR" "$args of the 13000 x 13000 file"
done
rm -f "$out/never.jpg"

finish
