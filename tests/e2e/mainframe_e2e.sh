#!/usr/bin/env bash
# The real program under Xvfb: a file opens alone and full screen, Space lists
# its folder, PageDown steps, a folder argument opens that folder, ESC ends the
# program.
set -euo pipefail
lumvane=$(readlink -f "$1")
samples=$(cd "$(dirname "$0")/../../samples" && pwd)
work=$(mktemp -d)
source "$(dirname "$0")/../../scripts/xvfb-lib.sh"
app_pid=""
trap 'end_session "$work"' EXIT

start_xvfb 1024x768x24 "$work" || { echo "FAIL: no X server could be started" >&2; exit 1; }
export XDG_RUNTIME_DIR="$work"

mkdir "$work/photos"
cp "$samples/01-meadow-640x480.jpg" "$work/photos/a.jpg"
cp "$samples/05-gray-1024x768.jpg" "$work/photos/b.jpg"

fail() { echo "FAIL: $*" >&2; exit 1; }
# The colour of one screen pixel as "r,g,b".
pixel() {
    import -window root "$work/shot.png"
    convert "$work/shot.png" -format "%[fx:int(255*p{$1,$2}.r)],%[fx:int(255*p{$1,$2}.g)],%[fx:int(255*p{$1,$2}.b)]" info:
}
wait_window() {
    timeout 20 xdotool search --sync --onlyvisible --name '^Lumvane$' >/dev/null || fail "no window"
    sleep 1
}
wait_exit() {
    for _ in $(seq 50); do kill -0 "$app_pid" 2>/dev/null || { wait "$app_pid" || true; app_pid=""; return 0; }; sleep 0.1; done
    fail "the program did not end"
}

# A file: shown alone, full screen, fitted (the meadow is not black at the centre).
"$lumvane" "$work/photos/b.jpg" &
app_pid=$!
wait_window
[ "$(pixel 512 384)" != "0,0,0" ] || fail "no image at the centre"
# Gray image: equal channels.
IFS=, read -r r g b <<< "$(pixel 512 384)"
[ "$r" = "$g" ] && [ "$g" = "$b" ] || fail "b.jpg is not the image shown ($r,$g,$b)"
# Space lists the folder and moves to its first image, the colour meadow.
xdotool key space
sleep 1.5
IFS=, read -r r g b <<< "$(pixel 512 700)"
{ [ "$r" != "$g" ] || [ "$g" != "$b" ]; } || fail "a.jpg is not shown after Space ($r,$g,$b)"
xdotool key Escape
wait_exit

# A folder: opens that folder normally.
(cd / && "$lumvane" "$work/photos") &
app_pid=$!
wait_window
kill -0 "$app_pid" || fail "a folder argument ended the program"
IFS=, read -r r g b <<< "$(pixel 512 700)"
{ [ "$r" != "$g" ] || [ "$g" != "$b" ]; } || fail "the folder's first image is not shown ($r,$g,$b)"
xdotool key Next
sleep 1.5
IFS=, read -r r g b <<< "$(pixel 512 700)"
[ "$r" = "$g" ] && [ "$g" = "$b" ] || fail "PageDown did not show b.jpg ($r,$g,$b)"
xdotool key Escape
wait_exit
echo "ok"
