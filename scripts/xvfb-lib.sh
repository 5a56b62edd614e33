# Sourced by the run script and the end-to-end tests.
#
# start_xvfb SCREEN WORKDIR: starts a virtual X server with one screen of
# SCREEN (e.g. 1280x1024x24) on a display number it picks itself, waits until
# it accepts connections, and points DISPLAY and Qt at it. Sets XVFB_PID.
# Returns 1 when no server came up within 10 s.
start_xvfb() {
  local screen=$1 work=$2
  rm -f "$work/xvfb-display"
  XVFB_LOG="$work/xvfb.log"
  # -noreset: the server does not reset when its last client leaves, so a
  # program started right after another one ended never finds it resetting.
  Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset 3>"$work/xvfb-display" >"$XVFB_LOG" 2>&1 &
  XVFB_PID=$!
  local end=$((SECONDS + 10))
  until [ -s "$work/xvfb-display" ]; do
    if ! kill -0 "$XVFB_PID" 2>/dev/null || [ $SECONDS -ge $end ]; then
      kill "$XVFB_PID" 2>/dev/null || true
      XVFB_PID=""
      return 1
    fi
    sleep 0.1
  done
  export DISPLAY=":$(head -n 1 "$work/xvfb-display")"
  unset WAYLAND_DISPLAY
  export QT_QPA_PLATFORM=xcb
}

# xvfb_report: says whether the virtual X server still runs, with the end of
# its log, for a test's failure message.
xvfb_report() {
  if [ -n "${XVFB_PID:-}" ] && kill -0 "$XVFB_PID" 2>/dev/null; then
    echo "the X server $DISPLAY still runs"
  else
    echo "the X server $DISPLAY has ended; its log:"
    tail -n 20 "$XVFB_LOG" 2>/dev/null
  fi
}

# end_session WORKDIR: stops the program under test ($app_pid) and the X
# server ($XVFB_PID) when they run, and removes WORKDIR. Meant for
#   trap 'end_session "$work"' EXIT
end_session() {
  [ -n "${app_pid:-}" ] && kill -9 "$app_pid" 2>/dev/null || true
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$1"
}
