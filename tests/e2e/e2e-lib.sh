# Sourced by the end-to-end tests that check the screen step by step.
#
# e2e_begin NAME SCREEN TOOLS...: checks that the tools are installed, makes
# the test's folder $work, starts a virtual X server with one SCREEN (e.g.
# 1280x1024x24) and ends both, with the program under test ($app_pid), when
# the script ends.
# fail MESSAGE: prints it with a screenshot of that moment kept as
# /tmp/lumvane-NAME-failure.png, the end of the program's log $app_log (when
# the test sets it) and the X server's state, and ends the test.
# until_ok SECONDS WHAT COMMAND...: polls COMMAND every 0.2 s until it
# succeeds, or fails with WHAT.
# box_in REGION COLOUR: "width height x y" (screen coordinates) of the colour
# within REGION (WxH+X+Y) of the last screenshot $work/screen.png, or "none".
# escape_ends_cleanly: ESC ends the program ($app_pid) with status 0;
# ends_cleanly: the program, told to end, does so with status 0.
# window_shown: the main window titled "Lumvane" is on screen; sets
# $main_window to its id.
# question_shown, question_gone: a second window titled "Lumvane" (one of the
# program's questions) is, or is not, on screen.
# answer_question KEY: waits until a question is shown and has the keyboard
# focus, presses KEY, and waits until it is gone.
# shot: takes the screenshot $work/screen.png.
# region_hash REGION: a fingerprint of REGION in a new screenshot.
# region_is REGION HASH, region_changed REGION HASH: REGION has, or no
# longer has, that fingerprint.
# With the control panel shown on a 1280x1024 screen, the thumbnails are in
# $pane_region and the image in $view_region:
# in_pane COLOUR, not_in_pane COLOUR: a thumbnail of that colour is, or is
# not, in the pane.
# shown COLOUR: the image view shows an image of that colour.
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
  [ -s "${app_log:-}" ] && tail -n 20 "$app_log"
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
  ends_cleanly
}
ends_cleanly() {
  until_ok 10 "ESC ends the program" app_ended
  local status=0
  wait "$app_pid" || status=$?
  app_pid=""
  [ "$status" -eq 0 ] || fail "the program exited with status $status"
  echo "ok: exit status 0"
}

window_shown() {
  main_window=$(xdotool search --onlyvisible --name '^Lumvane$' 2>/dev/null | head -n 1)
  [ -n "$main_window" ]
}

question_shown() { [ "$(xdotool search --onlyvisible --name '^Lumvane$' 2>/dev/null | wc -l)" -ge 2 ]; }
question_gone() { ! question_shown; }
question_focused() {
  local focused
  focused=$(xdotool getwindowfocus 2>/dev/null) || return 1
  [ "$focused" != "$main_window" ] && [ "$(xdotool getwindowname "$focused" 2>/dev/null)" = Lumvane ]
}

answer_question() {
  until_ok 30 "a question is asked" question_shown
  until_ok 30 "the question has the keyboard focus" question_focused
  xdotool key "$1"
  until_ok 30 "the question is answered" question_gone
}

shot() { import -window root "$work/screen.png"; }
region_hash() {
  shot
  convert "$work/screen.png" -crop "$1" +repage -format '%#' info:
}
region_is() { [ "$(region_hash "$1")" = "$2" ]; }
region_changed() { ! region_is "$@"; }
# region_still REGION: true once REGION looks as it did at the last call
# (keep calling it through until_ok: the first call only takes a look).
region_still() {
  local now
  now=$(region_hash "$1")
  [ "$now" = "${still_was:-}" ] || { still_was=$now; return 1; }
}

pane_region=960x300+320+40
view_region=1280x620+0+370
in_pane() { shot; [ "$(box_in "$pane_region" "$1")" != none ]; }
not_in_pane() { shot; [ "$(box_in "$pane_region" "$1")" = none ]; }
shown() {
  shot
  local b
  b=($(box_in "$view_region" "$1"))
  [ "${b[0]}" != none ] && [ "${b[0]}" -gt 100 ]
}
