#!/usr/bin/env bash
# Installs what is missing, builds the viewer and starts it on PATH (a folder
# or an image), or on the bundled samples when no path is given, in the
# user's session: Wayland when WAYLAND_DISPLAY names a socket, else X.
#
# Without a reachable display (no DISPLAY or WAYLAND_DISPLAY, or an X server
# that does not answer) the viewer runs on a virtual X server instead: the
# script waits until the first image is on the screen, saves a screenshot to
# $LUMVANE_SCREENSHOT (default /tmp/lumvane-screenshot.png) and exits.
#   scripts/run.sh [PATH]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

target=${1:-$root/samples}
[ -e "$target" ] || { echo "run.sh: $target: no such file or folder" >&2; exit 1; }
target=$(realpath "$target")

bash scripts/install-deps.sh
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo -- lumvane
lumvane=$root/build/ui/lumvane

wayland_reachable() {
  [ -n "${WAYLAND_DISPLAY:-}" ] || return 1
  local socket=$WAYLAND_DISPLAY
  [[ $socket == /* ]] || socket=${XDG_RUNTIME_DIR:-/run/user/$(id -u)}/$socket
  [ -S "$socket" ]
}
x_reachable() { [ -n "${DISPLAY:-}" ] && timeout 5 xdpyinfo >/dev/null 2>&1; }

# The session the user has: Wayland first (Qt would otherwise pick X through
# XWayland), unless the user chose a platform for Qt.
if wayland_reachable; then
  export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-wayland}
  exec "$lumvane" "$target"
fi
if x_reachable; then
  exec "$lumvane" "$target"
fi

# Headless: a virtual X server on the first free display number.
shot=${LUMVANE_SCREENSHOT:-/tmp/lumvane-screenshot.png}
work=$(mktemp -d /tmp/lumvane-run.XXXXXX)
source scripts/xvfb-lib.sh
app_pid=""
trap 'end_session "$work"' EXIT

start_xvfb 1920x1080x24 "$work" || { echo "run.sh: no display and no virtual X server could be started" >&2; exit 1; }
echo "No display reachable: running Lumvane on the virtual X server $DISPLAY"

"$lumvane" "$target" >"$work/lumvane.log" 2>&1 &
app_pid=$!

# The first image is on the screen when the screen holds a photograph's
# wealth of colours and has stopped changing (the view paints rows as they
# are decoded). A plain picture never gets the colours: after 20 s a steady
# screen is taken as it is.
colours() { convert "$work/now.png" -format '%k' info:; }
start=$SECONDS; previous=""; shown=0
while [ $((SECONDS - start)) -lt 60 ]; do
  kill -0 "$app_pid" 2>/dev/null || { cat "$work/lumvane.log" >&2; echo "run.sh: the viewer ended early" >&2; exit 1; }
  import -window root "$work/now.png" 2>/dev/null || { sleep 0.3; continue; }
  sum=$(md5sum <"$work/now.png")
  if [ "$sum" = "$previous" ] && { [ "$(colours)" -gt 1000 ] || [ $((SECONDS - start)) -ge 20 ]; }; then
    shown=1; break
  fi
  previous=$sum
  sleep 0.5
done
cp "$work/now.png" "$shot"
if [ $shown -eq 1 ]; then
  echo "The viewer shows its first image; screenshot saved to $shot"
else
  echo "The screen did not settle within 60 s; last screenshot saved to $shot"
fi
