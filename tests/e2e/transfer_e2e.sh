#!/usr/bin/env bash
# Drag and drop end to end: the real program under an X server of its own,
# driven with xdotool. A thumbnail dragged onto a folder of the tree is moved
# there after the confirmation and leaves the pane; dragged with Ctrl held,
# it is copied; a folder dragged within the tree moves and leaves its place.
#   transfer_e2e.sh LUMVANE [LUMVANE_CLI]
set -euo pipefail

lumvane=$(realpath "$1")
source "$(dirname "$0")/e2e-lib.sh"
e2e_begin transfer 1280x1024x24 xdotool convert
export HOME="$work/home" XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work"
mkdir -p "$HOME" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME"

# One colour per image, so each thumbnail is found by it. The folders
# "into" and "other" are the rows below the shown folder in the tree.
photos="$work/photos"
mkdir -p "$photos/into" "$photos/other"
convert -size 320x240 xc:'#ff0000' -quality 95 "$photos/a.jpg"
convert -size 320x240 xc:'#0000ff' -quality 95 "$photos/b.jpg"
convert -size 320x240 xc:'#00ff00' -quality 95 "$photos/c.jpg"
red='rgb(255,0,0)' blue='rgb(0,0,255)' green='rgb(0,255,0)'
selection='rgb(48,140,198)'

# A strip of the tree right of its labels: only the selection's colour is there.
tree_strip=8x300+288+40

# centre_of COLOUR: the middle of that thumbnail.
centre_of() {
  shot
  local b
  b=($(box_in "$pane_region" "$1"))
  [ "${b[0]}" != none ] || fail "no thumbnail in $1"
  echo "$((b[2] + b[0] / 2)) $((b[3] + b[1] / 2))"
}

# The rows of the tree: the shown folder is selected; its subfolders follow
# in order, one row each.
read_rows() {
  shot
  local b
  b=($(box_in "$tree_strip" "$selection"))
  [ "${b[0]}" != none ] || return 1
  row_h=${b[1]} row_y=${b[3]}
}
# highlighted Y: a row at Y is drawn as a drop target (or selected).
highlighted() {
  shot
  convert "$work/screen.png" -crop "8x4+288+$(($1 - 2))" +repage -fuzz 12% -fill black +opaque "$selection" \
    "$work/part.png"
  [ "$(convert "$work/part.png" -format '%[fx:mean]' info:)" != 0 ]
}

# drag FROM_X FROM_Y TO_Y [ctrl]: presses at the point, moves slowly into
# the tree, then along the row at TO_Y until its label is under the cursor
# (the row is drawn as the drop target), and releases there. The pauses pace
# the pointer like a hand: the toolkit starts a drag from a press held and
# moved, and the drop target follows the motions it is sent.
drag() {
  local x0=$1 y0=$2 y1=$3 key=${4:-} x i
  xdotool mousemove "$x0" "$y0"; sleep 0.3
  xdotool mousedown 1; sleep 0.3
  for i in 1 2 3 4 5 6 7 8; do
    xdotool mousemove $((x0 + (30 - x0) * i / 8)) $((y0 + (y1 - y0) * i / 8)); sleep 0.15
  done
  [ -z "$key" ] || { xdotool keydown "$key"; sleep 0.2; }
  for x in $(seq 40 12 280); do
    xdotool mousemove "$x" "$y1"; sleep 0.1
    xdotool mousemove "$((x + 1))" "$y1"; sleep 0.15
    highlighted "$y1" && break
  done
  xdotool mouseup 1
  [ -z "$key" ] || xdotool keyup "$key"
}

# confirm: the move/copy question comes up and is answered Yes (its default).
confirm() { answer_question Return; }

cd "$work"
"$lumvane" "$photos" >"$work/lumvane.log" 2>&1 &
app_pid=$!
until_ok 30 "the window is shown" window_shown
xdotool mousemove 640 1000
thumbnails() { in_pane "$red" && in_pane "$blue" && in_pane "$green"; }
until_ok 30 "the thumbnails of the folder appear" thumbnails
# The shown folder is the tree's bottom row: scrolled up into the middle
# (the tree moves, then stands still).
xdotool mousemove 150 200
tree=320x300+0+40
tree_was=$(region_hash "$tree")
for _ in 1 2 3; do xdotool click 5; done
until_ok 30 "the wheel scrolls the tree" region_changed "$tree" "$tree_was"
until_ok 30 "the tree stands still" region_still "$tree"
until_ok 30 "the tree shows the folder selected" read_rows
into_y=$((row_y + row_h + row_h / 2))
other_y=$((row_y + 2 * row_h + row_h / 2))

# A move: select the red image, then drag it onto "into".
read -r x y <<<"$(centre_of "$red")"
xdotool mousemove "$x" "$y" click 1
until_ok 30 "a click selects a.jpg and shows it" shown "$red"
drag "$x" "$y" "$into_y"
confirm
moved() { [ -f "$photos/into/a.jpg" ] && [ ! -e "$photos/a.jpg" ]; }
until_ok 30 "the dropped image is moved into the folder" moved
until_ok 30 "and leaves the pane" not_in_pane "$red"

# A copy: the blue image with Ctrl held over the tree.
read -r x y <<<"$(centre_of "$blue")"
xdotool mousemove "$x" "$y" click 1
until_ok 30 "a click selects b.jpg and shows it" shown "$blue"
drag "$x" "$y" "$other_y" ctrl
confirm
copied() { [ -f "$photos/other/b.jpg" ] && [ -f "$photos/b.jpg" ]; }
until_ok 30 "with Ctrl the image is copied" copied
cmp -s "$photos/other/b.jpg" "$photos/b.jpg" || fail "the copy differs from the original"
in_pane "$blue" || fail "a copied image left the pane"

# A folder dragged within the tree: "other" onto "into".
until_ok 30 "the tree shows the folder selected" read_rows
drag 190 "$other_y" "$into_y"
confirm
folder_moved() { [ -f "$photos/into/other/b.jpg" ] && [ ! -e "$photos/other" ]; }
until_ok 30 "a folder dragged in the tree is moved" folder_moved
[ -z "$(find "$photos" -name '.lumvane-*')" ] || fail "a temporary file was left"

escape_ends_cleanly
echo "PASS"
