# Sourced by the end-to-end tests that check the screen step by step.
#
# e2e_begin NAME SCREEN TOOLS...: checks that the tools are installed, makes
# the test's folder $work, starts a virtual X server with one SCREEN (e.g.
# 1280x1024x24) and ends both, with the program under test ($app_pid), when
# the script ends.
# fail MESSAGE: prints it with a screenshot of that moment kept as
# /tmp/lumvane-NAME-failure.png and the X server's state, and ends the test.
# until_ok SECONDS WHAT COMMAND...: polls COMMAND every 0.2 s until it
# succeeds, or fails with WHAT.
# box_in REGION COLOUR: "width height x y" (screen coordinates) of the colour
# within REGION (WxH+X+Y) of the last screenshot $work/screen.png, or "none".
# escape_ends_cleanly: ESC ends the program ($app_pid) with status 0.
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/xvfb-lib.sh"

e2e_begin() {
  E2E_NAME=$1
  local screen=$2 tool
  shift 2
  for tool in Xvfb import "$@"; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed (scripts/install-deps.sh)"; exit 1; }
  done
  work=$(mktemp -d "/tmp/lumvane-$E2E_NAME.XXXXXX")
  app_pid=""
  trap 'end_session "$work"' EXIT
  start_xvfb "$screen" "$work" || fail "no X server could be started"
}

fail() {
  echo "FAIL: $*"
  local keep=/tmp/lumvane-$E2E_NAME-failure.png
  timeout 10 import -window root "$keep" 2>/dev/null && echo "screenshot: $keep"
  xvfb_report
  exit 1
}

until_ok() {
  local limit=$1 what=$2; shift 2
  local end=$((SECONDS + limit))
  until "$@"; do
    [ $SECONDS -lt $end ] || fail "$what (waited ${limit}s)"
    sleep 0.2
  done
  echo "ok: $what"
}

box_in() {
  local region=$1 colour=$2 offset_x offset_y
  offset_x=$(cut -d+ -f2 <<<"$region"); offset_y=$(cut -d+ -f3 <<<"$region")
  convert "$work/screen.png" -crop "$region" +repage -fuzz 12% -fill black +opaque "$colour" "$work/part.png"
  if [ "$(convert "$work/part.png" -format '%[fx:mean]' info:)" = 0 ]; then echo none; return; fi
  convert "$work/part.png" -trim -format '%w %h %X %Y' info: | tr -d '+' \
    | awk -v x="$offset_x" -v y="$offset_y" '{ print $1, $2, $3 + x, $4 + y }'
}

app_ended() { ! kill -0 "$app_pid" 2>/dev/null; }

escape_ends_cleanly() {
  xdotool key Escape
  until_ok 10 "ESC ends the program" app_ended
  local status=0
  wait "$app_pid" || status=$?
  app_pid=""
  [ "$status" -eq 0 ] || fail "the program exited with status $status"
  echo "ok: exit status 0"
}
