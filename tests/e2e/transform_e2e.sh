#!/usr/bin/env bash
# Lossless rotation end to end: two thumbnails selected, Tools > Transform >
# Rotate Right (lossless) taken by the keyboard turns both files on disk into
# what jpegtran makes of them, and the pane and the view show them turned
# (the view's own upside-down turn given up for the file as it now is); the
# photo not selected stays as it was. Ctrl+Shift+L turns them back to their
# first pixels, and the thumbnail's menu Transform > Rotate 180° turns them
# upside down.
#   transform_e2e.sh LUMVANE [LUMVANE_CLI]
set -euo pipefail

lumvane=$(realpath "$1")
source "$(dirname "$0")/e2e-lib.sh"
e2e_begin transform 1280x1024x24 xdotool convert jpegtran djpeg

# Each photo is one colour over another, so a turn shows where its top went.
photos="$work/photos"
mkdir -p "$photos"
convert -size 320x120 xc:'#ff0000' xc:'#0000ff' -append -quality 95 "$photos/a.jpg"
convert -size 320x120 xc:'#00ff00' xc:'#ff00ff' -append -quality 95 "$photos/b.jpg"
convert -size 320x120 xc:'#ffff00' xc:'#00ffff' -append -quality 95 "$photos/c.jpg"
red='rgb(255,0,0)' blue='rgb(0,0,255)' green='rgb(0,255,0)' magenta='rgb(255,0,255)'
yellow='rgb(255,255,0)' cyan='rgb(0,255,255)'
cp "$photos/c.jpg" "$work/c.jpg"
for f in a b; do
  djpeg -pnm "$photos/$f.jpg" >"$work/$f.ppm"
  jpegtran -rotate 90 -perfect "$photos/$f.jpg" | djpeg -pnm >"$work/$f-right.ppm"
  jpegtran -rotate 180 -perfect "$photos/$f.jpg" | djpeg -pnm >"$work/$f-180.ppm"
done

# decodes_as SUFFIX: a.jpg and b.jpg decode to $work/a$SUFFIX.ppm and b's.
decodes_as() {
  local f
  for f in a b; do djpeg -pnm "$photos/$f.jpg" | cmp -s - "$work/$f$1.ppm" || return 1; done
}
# box_of REGION COLOUR: "x y" of the box of that colour.
box_of() { local b; b=($(box_in "$1" "$2")); [ "${b[0]}" != none ] && echo "${b[2]} ${b[3]}"; }
near() { local d=$(($1 - $2)); [ "${d#-}" -le 2 ]; }
# turned_right REGION TOP BOTTOM: the photo's top colour is now right of its bottom one.
turned_right() {
  local t b
  t=($(box_of "$1" "$2")) && b=($(box_of "$1" "$3")) || return 1
  [ "${t[0]}" -gt "${b[0]}" ] && near "${t[1]}" "${b[1]}"
}
# upright REGION TOP BOTTOM: the top colour is above the bottom one.
upright() {
  local t b
  t=($(box_of "$1" "$2")) && b=($(box_of "$1" "$3")) || return 1
  [ "${t[1]}" -lt "${b[1]}" ] && near "${t[0]}" "${b[0]}"
}
pane_turned() { shot && turned_right "$pane_region" "$red" "$blue" && turned_right "$pane_region" "$green" "$magenta"; }
pane_upright() { shot && upright "$pane_region" "$red" "$blue" && upright "$pane_region" "$green" "$magenta"; }
pane_upside_down() { shot && upright "$pane_region" "$blue" "$red" && upright "$pane_region" "$magenta" "$green"; }
view_turned() { shot && turned_right "$view_region" "$red" "$blue"; }
view_upright() { shot && upright "$view_region" "$red" "$blue"; }
view_upside_down() { shot && upright "$view_region" "$blue" "$red"; }
# point_at COLOUR: the mouse on the middle of that colour in the pane.
point_at() {
  shot
  local b
  b=($(box_in "$pane_region" "$1"))
  [ "${b[0]}" != none ] || fail "no thumbnail in $1"
  xdotool mousemove $((b[2] + b[0] / 2)) $((b[3] + b[1] / 2))
}

cd "$work"
"$lumvane" "$photos" >"$work/lumvane.log" 2>&1 &
app_pid=$!
until_ok 30 "the window is shown" window_shown
xdotool mousemove 640 1000
until_ok 30 "the thumbnails show the photos upright" pane_upright
until_ok 30 "the first photo is shown upright" view_upright

xdotool key F5
until_ok 30 "F5 turns the view upside down" view_upside_down
point_at "$red" && xdotool click 1
point_at "$green" && xdotool keydown shift click 1 keyup shift
xdotool key --delay 150 alt+t t Down Return
until_ok 30 "Tools > Transform > Rotate Right turns both files as jpegtran does" decodes_as -right
until_ok 30 "the pane shows both turned" pane_turned
until_ok 30 "the view shows the shown photo turned, without its own turn" view_turned
cmp -s "$photos/c.jpg" "$work/c.jpg" || fail "the photo not selected was changed"
shot
upright "$pane_region" "$yellow" "$cyan" || fail "the photo not selected is not upright in the pane"

xdotool key ctrl+shift+l
until_ok 30 "Ctrl+Shift+L turns them back to their first pixels" decodes_as ""
until_ok 30 "the pane shows both upright again" pane_upright
until_ok 30 "the view shows the shown photo upright again" view_upright

# The selection stays: the thumbnail's own menu turns both.
point_at "$red" && xdotool click 3
xdotool key --delay 150 t Down Down Return
until_ok 30 "the thumbnail's Transform > Rotate 180° turns both files as jpegtran does" decodes_as -180
until_ok 30 "the pane shows both upside down" pane_upside_down

escape_ends_cleanly
echo "PASS"
