#!/usr/bin/env bash
# The viewer end to end for today's photos: a phone photo stored sideways
# (Exif Orientation 6) shows upright, pixel for pixel the display decode of
# lumvane-cli, at 100 % and on a screen at 200 % scaling; a folder that
# another program changes keeps the pane current.
#   modern_e2e.sh LUMVANE LUMVANE_CLI
set -euo pipefail

lumvane=$(realpath "$1")
cli=$(realpath "$2")
source "$(dirname "$0")/e2e-lib.sh"
e2e_begin modern 1280x1024x24 xdotool convert compare
photo=$(realpath "$(dirname "$0")/../../samples/04-turned-1600x1200-orientation-6.jpg")

stop_app() {
  kill "$app_pid" 2>/dev/null || true
  wait "$app_pid" 2>/dev/null || true
  app_pid=""
}
# same_pixels EXPECTED.ppm GEOMETRY: the screen's GEOMETRY (WxH+X+Y) is the
# expected picture, every pixel.
same_pixels() {
  shot
  convert "$work/screen.png" -crop "$2" +repage "$work/part.png"
  [ "$(compare -metric AE "$1" "$work/part.png" null: 2>&1)" = 0 ]
}

# Started with the file, full screen without the panel: the view is the
# whole 1280 x 1024 screen. The options' defaults: high-quality
# subsampling, upright by the Exif orientation.
"$cli" render "$photo" -o "$work/upright.ppm" --fit 1280x1024 --hq --interp --auto-orient
[ "$(identify -format '%w %h' "$work/upright.ppm")" = "768 1024" ] || fail "the upright render is not 768 x 1024"
for scale in 1 2; do
  QT_SCALE_FACTOR=$scale "$lumvane" "$photo" >"$work/lumvane-$scale.log" 2>&1 &
  app_pid=$!
  until_ok 20 "the window is shown at scale $scale" window_shown
  xdotool mousemove 1279 1023
  until_ok 30 "the sideways photo shows upright at scale $scale, pixel for pixel" \
    same_pixels "$work/upright.ppm" 768x1024+256+0
  stop_app
done
# A folder shown with its panel: the pane takes the top third of the screen
# right of the tree. A JPEG copied in by another program shows up there.
mkdir "$work/photos"
convert -size 320x240 xc:'#ff0000' -quality 95 "$work/photos/a.jpg"
convert -size 320x240 xc:'#0000ff' -quality 95 "$work/new.jpg"
(cd "$work/photos" && exec "$lumvane" "$work/photos" >"$work/lumvane-folder.log" 2>&1) &
app_pid=$!
until_ok 20 "the folder's window is shown" window_shown
until_ok 20 "the first photo's thumbnail is in the pane" in_pane 'rgb(255,0,0)'
in_pane 'rgb(0,0,255)' && fail "a blue thumbnail before the blue photo came"
cp "$work/new.jpg" "$work/photos/b.jpg"
until_ok 10 "the JPEG copied into the folder shows up in the pane" in_pane 'rgb(0,0,255)'
rm "$work/photos/a.jpg"
until_ok 10 "the deleted JPEG leaves the pane" not_in_pane 'rgb(255,0,0)'
stop_app
echo "PASS"
