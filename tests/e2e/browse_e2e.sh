#!/usr/bin/env bash
# The browsing half end to end: the real program started on a folder with the
# control panel shown, under an X server of its own, driven with xdotool.
# Thumbnails appear; a click shows that image; the arrows move; F9 lists and
# F7 shows thumbnails again; a name is edited in place and the file renamed
# on disk; two selected images go to the trash; a folder clicked in the tree
# shows its images.
#   browse_e2e.sh LUMVANE [LUMVANE_CLI]
set -euo pipefail

lumvane=$(realpath "$1")
source "$(dirname "$0")/e2e-lib.sh"
e2e_begin browse 1280x1024x24 xdotool convert
# The trash and the desktop of this run are its own.
export HOME="$work/home" XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work"
mkdir -p "$HOME" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME"

# One colour per image, so each thumbnail and each shown image is found by it.
photos="$work/photos"
mkdir -p "$photos/sub"
convert -size 320x240 xc:'#ff0000' -quality 95 "$photos/a.jpg"
convert -size 320x240 xc:'#0000ff' -quality 95 "$photos/b.jpg"
convert -size 320x240 xc:'#00ff00' -quality 95 "$photos/c.jpg"
convert -size 320x240 xc:'#ff00ff' -quality 95 "$photos/d.jpg"
convert -size 320x240 xc:'#ffff00' -quality 95 "$photos/sub/e.jpg"
convert -size 320x240 xc:'#00ffff' -quality 95 "$photos/sub/f.jpg"

red='rgb(255,0,0)' blue='rgb(0,0,255)' green='rgb(0,255,0)' magenta='rgb(255,0,255)'
yellow='rgb(255,255,0)' cyan='rgb(0,255,255)'

# The screen's parts at 1280 x 1024: the control panel takes the top third
# (the tree the left quarter of it, the thumbnails $pane_region), the image
# view the rest ($view_region).
# A strip of the tree right of its labels: only the selection's colour is there.
tree_strip=8x280+270+50
thumbnails_of() { shot; local c; for c in "$@"; do [ "$(box_in "$pane_region" "$c")" != none ] || return 1; done; }
# click_thumbnail COLOUR [MODIFIER]: clicks the middle of that thumbnail.
click_thumbnail() {
  shot
  local b
  b=($(box_in "$pane_region" "$1"))
  [ "${b[0]}" != none ] || fail "no thumbnail in $1"
  xdotool mousemove $((b[2] + b[0] / 2)) $((b[3] + b[1] / 2))
  if [ -n "${2:-}" ]; then xdotool keydown "$2" click 1 keyup "$2"; else xdotool click 1; fi
}
# label_point COLOUR: a point on the label below that thumbnail.
label_point() {
  shot
  local b
  b=($(box_in "$pane_region" "$1"))
  echo "$((b[2] + b[0] / 2)) $((b[3] + b[1] + 18))"
}

cd "$work"
"$lumvane" "$photos" >"$work/lumvane.log" 2>&1 &
app_pid=$!
until_ok 30 "the window is shown" window_shown
xdotool mousemove 640 1000
until_ok 30 "the thumbnails of the folder appear" thumbnails_of "$red" "$blue" "$green" "$magenta"
until_ok 30 "the first image is shown" shown "$red"

click_thumbnail "$green"
until_ok 30 "a click on a thumbnail shows that image" shown "$green"
xdotool key Down
until_ok 30 "Down moves to the next image" shown "$magenta"
xdotool key Up
until_ok 30 "Up moves back" shown "$green"

xdotool key F9
until_ok 30 "F9 lists the names instead of thumbnails" not_in_pane "$green"
xdotool key F7
until_ok 30 "F7 shows the thumbnails again" thumbnails_of "$red" "$blue" "$green" "$magenta"

# A click on the label of the selected image edits its name in place.
read -r lx ly <<<"$(label_point "$green")"
label=100x16+$((lx - 50))+$((ly - 8))
xdotool mousemove "$lx" "$ly"
before=$(region_hash "$label")
xdotool click 1
until_ok 30 "a click on the selected image's label opens its name's editor" region_changed "$label" "$before"
xdotool key ctrl+a type --delay 20 'renamed.jpg'
xdotool key Return
renamed() { [ -f "$photos/renamed.jpg" ] && [ ! -e "$photos/c.jpg" ]; }
until_ok 30 "the name edited in place renames the file" renamed

# Two images selected with Shift go to the trash after the confirmation.
click_thumbnail "$red"
until_ok 30 "a.jpg is shown" shown "$red"
click_thumbnail "$blue" shift
xdotool key Delete
answer_question Return
trashed() {
  [ -f "$XDG_DATA_HOME/Trash/files/a.jpg" ] && [ -f "$XDG_DATA_HOME/Trash/files/b.jpg" ] \
    && [ ! -e "$photos/a.jpg" ] && [ ! -e "$photos/b.jpg" ]
}
until_ok 30 "Delete moves both selected images to the trash" trashed
closed_up() { not_in_pane "$red" && not_in_pane "$blue" && in_pane "$magenta" && in_pane "$green"; }
until_ok 30 "the list closes up" closed_up
until_ok 30 "the image after the deleted ones is shown" shown "$magenta"

# The tree shows the folder selected; its subfolder is the row below it
# (scrolled up into the middle first: the tree moves, then stands still).
xdotool mousemove 150 200
tree=320x300+0+40
tree_was=$(region_hash "$tree")
for _ in 1 2 3; do xdotool click 5; done
until_ok 30 "the wheel scrolls the tree" region_changed "$tree" "$tree_was"
until_ok 30 "the tree stands still" region_still "$tree"
selected_row() {
  shot
  selected=$(box_in "$tree_strip" 'rgb(48,140,198)')
  read -r _ row_h _ row_y <<<"$selected"
  [ "$selected" != none ] && [ "$row_h" -gt 5 ]
}
until_ok 30 "the tree shows the folder selected" selected_row
xdotool mousemove 150 $((row_y + row_h + row_h / 2)) click 1
until_ok 30 "a click on a folder in the tree shows its images" shown "$yellow"
until_ok 30 "and its thumbnails" thumbnails_of "$yellow" "$cyan"

escape_ends_cleanly
echo "PASS"
