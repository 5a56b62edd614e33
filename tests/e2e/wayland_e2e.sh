#!/usr/bin/env bash
# The real viewer on Wayland end to end: started on a folder of two JPEGs
# under a headless Sway of its own, driven with wtype, checked with grim
# screenshots, Sway's window tree and the Wayland clipboard.
#   wayland_e2e.sh LUMVANE [LUMVANE_CLI]
set -euo pipefail

lumvane=$(realpath "$1")
source "$(dirname "$0")/wayland-lib.sh"
wayland_begin wayland wl-paste convert identify
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"

# a.jpg: red left half, blue right half. b.jpg: green.
mkdir -p "$work/images" "$HOME"
convert -size 240x320 xc:'#ff0000' -size 240x320 xc:'#0000ff' +append -quality 95 "$work/images/a.jpg"
convert -size 400x300 xc:'#00ff00' -quality 95 "$work/images/b.jpg"
red='rgb(255,0,0)' green='rgb(0,255,0)'

thumbnails_shown() { in_pane "$red" && in_pane "$green"; }
# The control panel hidden: the image's black margin at the top.
top_strip_dark() { shot; [ "$(convert "$work/screen.png" -crop 1280x24+0+0 -format '%[fx:mean<0.05]' info:)" = 1 ]; }
full_screen_is() { swaymsg -t get_tree | tr -d ' \n' | grep -q "\"name\":\"Lumvane\"[^{}]*\"fullscreen_mode\":$1"; }
# A mark on the main window shows that Sway's window events are coming.
events_seen() { swaymsg -q '[title="^Lumvane$"] mark --toggle seen' && grep -q '"change": "mark"' "$work/windows.log"; }
clipboard_png_is() { wl-paste -t image/png 2>/dev/null | identify -format '%m %w %h' - 2>/dev/null | grep -qx "$1"; }

app_log=$work/lumvane.log
"$lumvane" "$work/images" >"$app_log" 2>&1 &
app_pid=$!
until_ok 30 "Sway shows the window and gives it the keyboard" window_focused
until_ok 30 "the first image (a.jpg) is shown" shown "$red"
press -k space
until_ok 10 "Space hides the control panel" top_strip_dark
press -k space
until_ok 10 "Space shows the control panel's thumbnails" thumbnails_shown
press -k Next
until_ok 10 "PageDown shows the next image (b.jpg)" shown "$green"

swaymsg -t subscribe -m '["window"]' >"$work/windows.log" 2>/dev/null &
until_ok 10 "Sway reports window events" events_seen
press -M ctrl c -m ctrl
until_ok 10 "Ctrl+C puts b.jpg on the clipboard as a 400 x 300 PNG" clipboard_png_is "PNG 400 300"
until_ok 5 "the copy's progress window showed" grep -q '"change": "new"' "$work/windows.log"

# Out of full screen the properties window gets the keys; ESC gives them back.
press -M alt -k Return -m alt
until_ok 10 "Alt+Enter leaves full screen" full_screen_is 0
press -k F2
until_ok 10 "F2 shows b.jpg's properties with the keys" window_focused b.jpg
press -k Escape
until_ok 10 "ESC closes them and the keys go back" window_focused
press -M alt -k Return -m alt
until_ok 10 "Alt+Enter goes back to full screen" full_screen_is 1

escape_ends_cleanly
! grep -i wayland "$app_log" || fail "Qt warned about Wayland"
echo "PASS"
