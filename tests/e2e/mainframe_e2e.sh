#!/usr/bin/env bash
# The real program under Xvfb: a file opens alone and full screen, Space lists
# its folder, PageDown steps, a folder argument opens that folder, ESC ends the
# program.
set -euo pipefail
lumvane=$(readlink -f "$1")
samples=$(cd "$(dirname "$0")/../../samples" && pwd)
source "$(dirname "$0")/e2e-lib.sh"
e2e_begin mainframe 1024x768x24 xdotool convert
export XDG_RUNTIME_DIR="$work"

mkdir "$work/photos"
cp "$samples/01-meadow-640x480.jpg" "$work/photos/a.jpg"
cp "$samples/05-gray-1024x768.jpg" "$work/photos/b.jpg"

# The colour of one screen pixel as "r g b".
pixel() {
    shot
    convert "$work/screen.png" -format "%[fx:int(255*p{$1,$2}.r)] %[fx:int(255*p{$1,$2}.g)] %[fx:int(255*p{$1,$2}.b)]" info:
}
# gray_at X Y [LEVEL]: the pixel is gray, not the view's black (the gray
# sample's darkest pixel is 47), and within 8 of LEVEL when given.
gray_at() {
    local r g b
    read -r r g b <<<"$(pixel "$1" "$2")"
    [ "$r" = "$g" ] && [ "$g" = "$b" ] && [ "$r" -ge 30 ] || return 1
    [ -z "${3:-}" ] || { [ $((r - $3)) -le 8 ] && [ $(($3 - r)) -le 8 ]; }
}
# coloured_at X Y: the pixel is not gray: the meadow is shown there.
coloured_at() {
    local r g b
    read -r r g b <<<"$(pixel "$1" "$2")"
    [ "$r" != "$g" ] || [ "$g" != "$b" ]
}
running() { kill -0 "$app_pid" 2>/dev/null; }

# A file: shown alone, full screen, fitted: the gray image's own centre
# (level 144) is at the screen's centre.
"$lumvane" "$work/photos/b.jpg" &
app_pid=$!
until_ok 30 "the window is shown" window_shown
until_ok 30 "b.jpg is shown alone, full screen and fitted" gray_at 512 384 144
# Space lists the folder and moves to its first image, the colour meadow.
xdotool key space
until_ok 30 "Space lists the folder and shows a.jpg" coloured_at 512 700
escape_ends_cleanly

# A folder: opens that folder normally.
(cd / && exec "$lumvane" "$work/photos") &
app_pid=$!
until_ok 30 "the window is shown" window_shown
running || fail "a folder argument ended the program"
until_ok 30 "the folder's first image, a.jpg, is shown" coloured_at 512 700
xdotool key Next
until_ok 30 "PageDown shows b.jpg" gray_at 512 700
escape_ends_cleanly
echo "PASS"
