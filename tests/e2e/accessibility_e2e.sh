#!/usr/bin/env bash
# What a screen reader finds: the real program under an X server and a D-Bus
# session of its own, read and driven through AT-SPI by atspi_probe.py.
#   accessibility_e2e.sh LUMVANE [LUMVANE_CLI]
set -euo pipefail

if [ -z "${LUMVANE_E2E_SESSION_BUS:-}" ]; then
  command -v dbus-run-session >/dev/null || { echo "FAIL: dbus-run-session is not installed (scripts/install-deps.sh)"; exit 1; }
  LUMVANE_E2E_SESSION_BUS=1 exec dbus-run-session -- bash "$0" "$@" </dev/null
fi

lumvane=$(realpath "$1")
here=$(dirname "$(realpath "$0")")
source "$here/e2e-lib.sh"
e2e_begin accessibility 1280x1024x24 xdotool convert dbus-send /usr/libexec/at-spi-bus-launcher
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || fail "python3-pyatspi is not installed (scripts/install-deps.sh)"
export HOME="$work/home" XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work"
mkdir -p "$HOME" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME"
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1

# The session starts the accessibility bus's launcher on the first call (D-Bus
# activation), that bus the registry when the program asks; all end with it.
bus_up() { dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null 2>&1; }
until_ok 20 "the accessibility bus is up" bus_up

photos="$work/photos"
mkdir -p "$photos"
convert -size 320x240 xc:'#ff0000' -quality 95 "$photos/a.jpg"
convert -size 320x240 xc:'#0000ff' -quality 95 "$photos/b photo.jpg"
convert -size 320x240 xc:'#00ff00' -quality 95 "$photos/c.jpg"

probe() { /usr/bin/python3 "$here/atspi_probe.py" "$app_pid" "$@" 2>>"$work/probe.log"; }
items_are() { [ "$(probe items)" = "$(printf '%s\n' "$@")" ]; }
view_is() { [ "$(probe view)" = "$1" ]; }

cd "$work"
app_log="$work/lumvane.log"
"$lumvane" "$photos" >"$app_log" 2>&1 &
app_pid=$!
until_ok 30 "the window is shown" window_shown
until_ok 30 "the pane lists the photos by name, the shown one selected" items_are "*a.jpg" "b photo.jpg" "c.jpg"
until_ok 30 "the view is named after the shown file" view_is a.jpg

probe select c.jpg || fail "the select action of c.jpg could not be run: $(tail -n 1 "$work/probe.log")"
until_ok 30 "selecting an item shows its file" view_is c.jpg
until_ok 30 "the image shown is that item's" shown 'rgb(0,255,0)'
until_ok 10 "the item is the one selected" items_are "a.jpg" "b photo.jpg" "*c.jpg"

# Started without the shell function, so that the kill below reaches the
# probe itself rather than a subshell that would leave it running.
/usr/bin/python3 "$here/atspi_probe.py" "$app_pid" events >"$work/events" 2>>"$work/probe.log" &
events_pid=$!
until_ok 10 "the probe listens for focus events" grep -qx ready "$work/events"
until_ok 30 "the thumbnails are drawn" in_pane 'rgb(255,0,0)'
click_at=($(box_in "$pane_region" 'rgb(255,0,0)'))
xdotool mousemove $((click_at[2] + 10)) $((click_at[3] + 10)) click 1
xdotool key Down
until_ok 10 "moving down in the pane gives the next item the focus" grep -qx "focus: b photo.jpg" "$work/events"
kill "$events_pid" 2>/dev/null || true

buttons=$(probe buttons) && [ "$(wc -l <<<"$buttons")" -ge 10 ] || fail "too few buttons found: ${buttons:-}"
! grep -E ': $|'$'\t' <<<"$buttons" || fail "these buttons have no plain name (above)"
echo "ok: $(wc -l <<<"$buttons") buttons, each with a plain name"

escape_ends_cleanly
