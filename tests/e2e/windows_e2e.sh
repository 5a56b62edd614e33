#!/usr/bin/env bash
# The properties and About windows end to end: the real viewer under an X
# server of its own, driven with xdotool. F2 shows the properties of the
# shown image and the window follows PageDown; Copy Report is read back from
# the X clipboard with xclip; ESC hides the properties window and closes the
# About window without ending the program.
#   windows_e2e.sh LUMVANE [LUMVANE_CLI]
set -euo pipefail

lumvane=$(realpath "$1")
source "$(dirname "$0")/e2e-lib.sh"
e2e_begin windows 1280x1024x24 xdotool xclip convert
# The association must not touch the user's own files, should anything ask.
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"

mkdir "$work/images"
convert -size 320x240 xc:'#ff0000' -set comment 'first photo' -quality 95 "$work/images/a.jpg"
convert -size 240x320 xc:'#0000ff' -set comment 'second photo' -quality 95 "$work/images/b.jpg"

visible() { xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }
hidden() { ! visible "$1"; }
running() { kill -0 "$app_pid" 2>/dev/null; }
report_has() { xclip -selection clipboard -o 2>/dev/null | grep -qxF "$1"; }
focus() { xdotool windowfocus --sync "$(xdotool search --onlyvisible --name "$1" | head -n 1)"; }

cd "$work"
"$lumvane" "$work/images" >"$work/lumvane.log" 2>&1 &
app_pid=$!
until_ok 30 "the window titled Lumvane is shown" visible '^Lumvane$'
xdotool mousemove 640 900
focus '^Lumvane$'

xdotool key F2
until_ok 30 "F2 shows the properties of a.jpg" visible '^a\.jpg$'

focus '^Lumvane$'
xdotool key Next
until_ok 30 "the properties window follows PageDown to b.jpg" visible '^b\.jpg$'

# Copy Report is clicked with the mouse: Space and Enter are the main
# window's accelerators in every window of the program. The button sits in
# the bar at the window's bottom left (about 180 pixels in and 21 up with the
# test fonts).
props=$(xdotool search --onlyvisible --name '^b\.jpg$' | head -n 1)
eval "$(xdotool getwindowgeometry --shell "$props")"
xdotool mousemove $((X + 180)) $((Y + HEIGHT - 21)) click 1
until_ok 30 "Copy Report puts the name row on the clipboard" report_has "Name              b.jpg"
report_has "Comment           second photo" || fail "the report has no comment row"
[ "$(xclip -selection clipboard -o | grep -c '^Image Width *240 pixels$')" = 1 ] || fail "the report has no width row"
echo "ok: the report's values start at column 18"

focus '^b\.jpg$'
xdotool key Escape
until_ok 30 "ESC hides the properties window" hidden '^b\.jpg$'
running || fail "ESC in the properties window ended the program"

focus '^Lumvane$'
# An open menu is one more window of the program's.
windows_now=$(xdotool search --onlyvisible --pid "$app_pid" | wc -l)
menu_open() { [ "$(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null | wc -l)" -gt "$windows_now" ]; }
xdotool key alt+h
until_ok 30 "Alt+H opens the Help menu" menu_open
xdotool key a
until_ok 30 "Help > About shows the About window" visible '^About Lumvane$'
focus '^About Lumvane$'
xdotool key Escape
until_ok 30 "ESC closes the About window" hidden '^About Lumvane$'
running || fail "ESC in the About window ended the program"

focus '^Lumvane$'
xdotool key Escape
escape_ends_cleanly
echo "PASS"
