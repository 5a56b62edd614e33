# Sourced by the end-to-end tests on Wayland: a headless Sway of the test's
# own instead of an X server, keys typed with wtype, screenshots by grim; the
# helpers of e2e-lib.sh (until_ok, shot, shown, in_pane, ...) work unchanged.
# wayland_begin NAME TOOLS...: checks the tools, makes the test's folder $work
# and starts Sway on one 1280x1024 output; Sway and the program ($app_pid) end
# with the script. Exits 77 (skipped) when Sway cannot run here at all.
# press WTYPE-ARGS...: types keys (-k Next; -M ctrl c -m ctrl).
# window_focused [TITLE]: Sway shows the program's window of that title (by
# default the main window's) and gives it the keys.
source "$(dirname "${BASH_SOURCE[0]}")/e2e-lib.sh"

wayland_begin() {
  E2E_NAME=$1
  local tool
  shift
  for tool in sway swaymsg wtype grim "$@"; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed (scripts/install-deps.sh)"; exit 1; }
  done
  work=$(mktemp -d "/tmp/lumvane-$E2E_NAME.XXXXXX")
  app_pid="" SWAY_PID="" KEYBOARD_PID=""
  trap 'end_wayland_session' EXIT
  start_sway
  # The first keys of a new keyboard reach the program before it has bound
  # it: one idle wtype keeps a keyboard on the seat for the whole test.
  wtype -s 3600000 &
  KEYBOARD_PID=$!
  until_ok 10 "Sway has a keyboard" eval 'swaymsg -t get_inputs | grep -q "\"type\": \"keyboard\""'
}

# Sway refuses to run as root: as root it runs as nobody, in a runtime folder
# of that user's; the test's clients, root, reach its sockets by their paths.
start_sway() {
  SWAY_RUNTIME=$(mktemp -d /tmp/lumvane-sway.XXXXXX) SWAY_LOG=$work/sway.log
  printf '%s\n' 'output HEADLESS-1 resolution 1280x1024' 'default_border none' 'xwayland disable' \
    >"$SWAY_RUNTIME/config"
  local as_user=() end=$((SECONDS + 10))
  if [ "$(id -u)" -eq 0 ]; then
    chown -R nobody:nogroup "$SWAY_RUNTIME"
    as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
  fi
  (cd / && exec env -i PATH="$PATH" HOME="$SWAY_RUNTIME" XDG_RUNTIME_DIR="$SWAY_RUNTIME" WLR_BACKENDS=headless \
    WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 "${as_user[@]}" sway -c "$SWAY_RUNTIME/config") >"$SWAY_LOG" 2>&1 &
  SWAY_PID=$!
  until WAYLAND_DISPLAY=$(sway_socket wayland-) && SWAYSOCK=$(sway_socket sway-ipc.); do
    kill -0 "$SWAY_PID" 2>/dev/null || { echo "SKIP: Sway cannot run here:"; tail -n 20 "$SWAY_LOG"; exit 77; }
    [ $SECONDS -lt $end ] || fail "Sway made no socket (waited 10s)"
    sleep 0.1
  done
  mkdir -m 700 "$work/runtime"
  export WAYLAND_DISPLAY SWAYSOCK XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=wayland
  unset DISPLAY
}

# sway_socket PREFIX: the path of Sway's socket of that name, when it is there.
sway_socket() { local s; for s in "$SWAY_RUNTIME/$1"*; do [ -S "$s" ] && echo "$s" && return 0; done; return 1; }

window_focused() { swaymsg -q "[app_id=\"^lumvane\$\" title=\"^${1:-Lumvane}\$\" con_id=__focused__] nop" 2>/dev/null; }
press() { wtype "$@"; }
shot() { grim "$work/screen.png"; }
escape_ends_cleanly() { press -k Escape; ends_cleanly; }

fail() {
  echo "FAIL: $*"
  timeout 10 grim "/tmp/lumvane-$E2E_NAME-failure.png" 2>/dev/null && echo "screenshot: /tmp/lumvane-$E2E_NAME-failure.png"
  [ -s "${app_log:-}" ] && tail -n 20 "$app_log"
  kill -0 "${SWAY_PID:-}" 2>/dev/null && echo "Sway still runs" || echo "Sway has ended"
  tail -n 20 "$SWAY_LOG" 2>/dev/null
  exit 1
}

end_wayland_session() {
  local pid
  for pid in "${app_pid:-}" "${KEYBOARD_PID:-}" "${SWAY_PID:-}"; do
    [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  done
  wait 2>/dev/null || true
  rm -rf "$work" "${SWAY_RUNTIME:-}"
}
