# Sourced by the end-to-end tests that check the screen step by step.
#
# fail MESSAGE: prints it, keeps the last screenshot ($work/screen.png) as
# /tmp/lumvane-<test>-failure.png, and ends the test.
# until_ok SECONDS WHAT COMMAND...: polls COMMAND every 0.2 s until it
# succeeds, or fails with WHAT.
fail() {
  echo "FAIL: $*"
  local keep=/tmp/lumvane-$(basename "$0" .sh)-failure.png
  [ -f "$work/screen.png" ] && cp "$work/screen.png" "$keep" && echo "last screenshot: $keep"
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
