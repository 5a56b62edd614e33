#!/usr/bin/env bash
# The real viewer end to end: started on a folder of three JPEGs under an X
# server of its own, driven with xdotool, checked with screenshots, the
# window title and the X clipboard.
#   viewer_e2e.sh LUMVANE [LUMVANE_CLI]
set -euo pipefail

lumvane=$(realpath "$1")
source "$(dirname "$0")/e2e-lib.sh"
e2e_begin viewer 1280x1024x24 xdpyinfo xdotool xclip convert identify

# a.jpg: red left half, blue right half. b.jpg: green top, yellow bottom.
mkdir "$work/images"
convert -size 240x320 xc:'#ff0000' -size 240x320 xc:'#0000ff' +append -quality 95 "$work/images/a.jpg"
convert -size 480x160 xc:'#00ff00' -size 480x160 xc:'#ffff00' -append -quality 95 "$work/images/b.jpg"
convert -size 480x320 xc:'#ff00ff' -quality 95 "$work/images/c.jpg"

# The image view's part of the screen: below the control panel, whose
# thumbnails show the same colours (the panel takes the top third).
image_region=1280x664+0+360
# box COLOUR: "width height x y" of everything near the colour in the image
# view of the last screenshot, "none" without it.
box() { box_in "$image_region" "$1"; }
near() { [ $(($1 - $2)) -le 3 ] && [ $(($2 - $1)) -le 3 ]; }

# side_by_side LEFT RIGHT: both colours shown, LEFT to the left of RIGHT, same height.
side_by_side() {
  shot
  local l r
  l=($(box "$1")); r=($(box "$2"))
  [ "${l[0]}" != none ] && [ "${r[0]}" != none ] && [ "${l[0]}" -gt 50 ] \
    && [ $((l[2] + l[0])) -le $((r[2] + 2)) ] && near "${l[1]}" "${r[1]}"
}
# stacked TOP BOTTOM: both shown, TOP above BOTTOM, same width.
stacked() {
  shot
  local t b
  t=($(box "$1")); b=($(box "$2"))
  [ "${t[0]}" != none ] && [ "${b[0]}" != none ] && [ "${t[1]}" -gt 50 ] \
    && [ $((t[3] + t[1])) -le $((b[3] + 2)) ] && near "${t[0]}" "${b[0]}"
}
# sized COLOUR W H: the colour's area is W x H pixels on the screen.
sized() {
  shot
  local c
  c=($(box "$1"))
  [ "${c[0]}" != none ] && near "${c[0]}" "$2" && near "${c[1]}" "$3"
}
# at_least COLOUR W H: the colour's area is W pixels wide and at least H high
# (the view clips what does not fit).
at_least() {
  shot
  local c
  c=($(box "$1"))
  [ "${c[0]}" != none ] && near "${c[0]}" "$2" && [ "${c[1]}" -ge $(($3 - 3)) ]
}
top_strip=1280x24+0+0
top_strip_dark() { shot; [ "$(convert "$work/screen.png" -crop "$top_strip" -format '%[fx:mean<0.05]' info:)" = 1 ]; }
clipboard_has_image() {
  xclip -selection clipboard -t TARGETS -o >"$work/targets" 2>/dev/null || return 1
  grep -qx image/bmp "$work/targets" && grep -qx image/png "$work/targets"
}

cd "$work"
"$lumvane" "$work/images" >"$work/lumvane.log" 2>&1 &
app_pid=$!

until_ok 20 "the window titled Lumvane is shown" window_shown
xdotool mousemove 640 900
until_ok 20 "the first image (a.jpg) is shown" side_by_side 'rgb(255,0,0)' 'rgb(0,0,255)'

xdotool key Next
until_ok 10 "PageDown shows the next image (b.jpg)" stacked 'rgb(0,255,0)' 'rgb(255,255,0)'

xdotool key F4
until_ok 10 "F4 turns it clockwise" side_by_side 'rgb(255,255,0)' 'rgb(0,255,0)'

# The first zoom step shows the fitted image at its own size (320 x 480 once
# turned: the green half is 160 x 480), the next one doubles it.
xdotool key KP_Add
until_ok 10 "keypad + shows the image at its own size" sized 'rgb(0,255,0)' 160 480
xdotool key KP_Add
until_ok 10 "keypad + again doubles it" at_least 'rgb(0,255,0)' 320 480

# The copy is the file's image as stored: 480 x 320, whatever the view shows.
xdotool key ctrl+c
until_ok 20 "Ctrl+C puts an image on the clipboard" clipboard_has_image
xclip -selection clipboard -t image/png -o >"$work/copy.png"
[ "$(identify -format '%w %h' "$work/copy.png")" = "480 320" ] || fail "clipboard PNG is $(identify -format '%w x %h' "$work/copy.png"), not 480 x 320"
xclip -selection clipboard -t image/bmp -o >"$work/copy.bmp"
[ "$(head -c 2 "$work/copy.bmp")" = BM ] || fail "clipboard image/bmp has no BMP file header"
[ "$(od -An -tu4 -j18 -N8 "$work/copy.bmp" | xargs)" = "480 320" ] || fail "clipboard DIB is not 480 x 320"
[ "$(stat -c %s "$work/copy.bmp")" = $((54 + 480 * 3 * 320)) ] || fail "clipboard DIB has the wrong size"
echo "ok: the clipboard holds the 480 x 320 image as PNG and as a BMP"

strip=$(region_hash "$top_strip")
xdotool key space
until_ok 10 "Space hides the menu bar and the control panel" top_strip_dark
xdotool key space
until_ok 10 "Space shows them again" region_is "$top_strip" "$strip"

escape_ends_cleanly
echo "PASS"
