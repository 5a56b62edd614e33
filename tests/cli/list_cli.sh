#!/usr/bin/env bash
# lumvane-cli list: the image list of a folder in the viewer's order.
source "$(dirname "$0")/cli_common.sh"

dir="$WORK/photos"
mkdir -p "$dir/f.jpg" "$dir/sub"
for name in b.jpg "B c.jpg" -dash.jpg .hidden.jpg A.jpeg Upper.JPG "$(printf '\377\376.jpg')"; do
    jpeg "$dir/$name" 8 8
done
broken "$dir/corrupt.jpg"
for name in x.txt e.jpg.bak d.jpe jpg; do
    echo text >"$dir/$name"
done
jpeg "$dir/sub/inside.jpg" 8 8

# JPEG names only (corrupt ones too), no folders; case-insensitive order;
# a name that is not UTF-8 is shown with replacement characters.
expect 0 list "$dir"
want=$(printf '%s\n' -dash.jpg .hidden.jpg A.jpeg "B c.jpg" b.jpg corrupt.jpg Upper.JPG \
    "$(printf '\357\277\275\357\277\275.jpg')")
same "$want" "$OUT" "listed names"
same "" "$ERR" "stderr of a good listing"

# Relative paths and "--" before a folder whose name starts with a dash.
mkdir -p "$WORK/-odd dir"
jpeg "$WORK/-odd dir/one.jpg" 8 8
(cd "$WORK" && timeout 60 "$CLI" list -- "-odd dir" >"$WORK/rel" 2>&1) || fail "list -- -odd dir failed"
same "one.jpg" "$(cat "$WORK/rel")" "folder with a leading dash"
expect 0 list "$WORK/-odd dir/"

mkdir -p "$WORK/empty"
expect 0 list "$WORK/empty"
same "" "$OUT" "empty folder"

expect 1 list "$WORK/missing"
matches "missing" "$ERR" "missing folder is named"
expect 1 list "$dir/b.jpg"
matches "not a folder" "$ERR" "a file is not a folder"
expect 2 list
expect 2 list "$dir" "$dir"
expect 2 list -x
expect 2 list --bogus "$dir"

finish
