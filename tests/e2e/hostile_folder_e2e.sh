#!/usr/bin/env bash
# The real program on a hostile folder (empty, text, PNG, truncated, huge
# header, corrupt progressive, FIFO, folder and odd names among good JPEGs):
# stepping, rotating, zooming and copying never crash or block the window,
# and ESC still ends the program cleanly. Then the same starting from a
# broken file on the command line.
#
# "The window answers" is a round trip through the program's own event loop:
# the program owns the clipboard (Copy Image of a good photo) and must serve
# its list of formats to xclip within a few seconds after every key.
set -euo pipefail
lumvane=$(readlink -f "$1")
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/tests/e2e/e2e-lib.sh"
e2e_begin hostile_folder 1280x1024x24 xdotool xclip convert
app_log="$work/app.log"

source "$root/tests/hostile_folder.sh"
export XDG_RUNTIME_DIR="$work" HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config"
mkdir -p "$HOME"
dir="$work/hostile"
make_hostile_folder "$dir" "$root/samples" || fail "could not make the folder"

# start ARGS...: starts the program and waits (at most 20 s) for its window.
start() {
    "$lumvane" "$@" >"$app_log" 2>&1 &
    app_pid=$!
    until_ok 20 "the window is shown" app_window
}
app_window() {
    alive "start"
    xdotool search --onlyvisible --pid "$app_pid" >/dev/null 2>&1
}

alive() {
    kill -0 "$app_pid" 2>/dev/null && return 0
    local status=0
    wait "$app_pid" || status=$?
    app_pid=""
    fail "the program ended during '$1' (status $status)"
}

# The program serves the clipboard formats: its event loop runs. Until the
# program owns the clipboard, the window's presence has to do.
owner=0
# Copy Image of a file that can't be decoded empties the clipboard: with no
# owner xclip gives up at once, while a program that hangs keeps it waiting
# until the timeout; a good photo's Copy Image owns the clipboard again.
answers() {
    [ "$owner" -eq 1 ] || return 0
    local out rc=0
    out=$(timeout 5 xclip -o -selection clipboard -t TARGETS 2>&1) || rc=$?
    if [ "$rc" -eq 0 ]; then
        grep -q '^image/' <<<"$out"
    else
        [ "$rc" -ne 124 ] && grep -q 'not available' <<<"$out"
    fi
}

# own_clipboard: Copy Image of the good photo shown now; waits until served.
own_clipboard() {
    xdotool key ctrl+c
    owner=1
    until_ok 10 "Copy Image of a good photo reaches the clipboard" answers
}

# step KEY...: presses the keys, then checks that the event loop answers
# (once the program owns the clipboard, that round trip comes after the
# keys are handled), the process lives and its window is there.
step() {
    xdotool key "$@"
    answers || fail "the program does not answer after '$*'"
    alive "$*"
    local end=$((SECONDS + 5))
    until has_window; do
        [ $SECONDS -lt $end ] || fail "the window is gone after '$*'"
        sleep 0.2
    done
}
# A search can fail on its own when another client's window (xclip's) is
# destroyed while it walks the tree: it is asked again rather than trusted once.
has_window() { timeout 5 xdotool search --pid "$app_pid" >/dev/null 2>&1; }

screenshot() {
    timeout 10 import -window root "$work/shot.png" || fail "no screenshot after $1"
}

# ESC ends the program with status 0.
escape_ends() {
    escape_ends_cleanly
    owner=0
}

items=16  # more than the folder lists: the ends are passed

echo "a folder"
# A folder: the first item, "-dash.jpg", is a good photo.
start "$dir"
own_clipboard
for _ in $(seq $items); do step Next; done
screenshot "stepping to the end"
for _ in $(seq $items); do step Prior; done
step End
step Home
# On every item: rotate, zoom in, Copy Image (broken items copy nothing and
# empty the clipboard), then on to the next.
for _ in $(seq $items); do
    step F4
    step KP_Add
    step ctrl+c
    step Next
done
step Home
step F4 KP_Add KP_Add Next Next Next Next Next Next F4 ctrl+c End Prior ctrl+c Home
screenshot "rotating, zooming and copying"
escape_ends

echo "the control panel"
# The pane makes the thumbnails of every item; the view follows clicks,
# ranges and toggles; the pane scrolls to the end and back, in every mode.
start "$dir"
own_clipboard
until_ok 60 "the pane has made its thumbnails and stands still" region_still "$pane_region"
screenshot "the thumbnails of a hostile folder"
click() { xdotool mousemove "$1" "$2" ${3:+keydown "$3"} click 1 ${3:+keyup "$3"}; step shift; }
click 700 150
step End
for _ in $(seq 12); do xdotool mousemove 800 150 click 5; done
step Right
for _ in $(seq 12); do xdotool mousemove 800 150 click 4; done
step Home Down Down Right Up
click 500 150 shift
click 900 250 ctrl
click 400 100 ctrl
step F9 End Home F8 End F7
screenshot "the pane scrolled, selected and switched"
escape_ends

echo "a broken file"
# A broken file alone; Space lists its folder.
start "$HOSTILE_ZERO"
step F4
screenshot "a broken file alone"
step space
step Home
own_clipboard
for _ in $(seq $items); do step Next; done
step Home End Home
screenshot "the folder of a broken file"
escape_ends
echo "ok"
