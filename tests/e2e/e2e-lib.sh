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
