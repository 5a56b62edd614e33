# Shared by the *_cli.sh tests; sourced with lumvane-cli's path as $1.
set -u
CLI=$(realpath "$1")
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export LC_ALL=C
# The shared thumbnail cache of the run, not the user's.
export XDG_CACHE_HOME="$WORK/cache"
FAILED=0

fail() {
    echo "FAIL: $*" >&2
    FAILED=1
}

# run ARGS...: runs lumvane-cli with a time limit; sets STATUS, OUT and ERR.
run() {
    timeout 60 "$CLI" "$@" >"$WORK/.stdout" 2>"$WORK/.stderr"
    STATUS=$?
    OUT=$(cat "$WORK/.stdout")
    ERR=$(cat "$WORK/.stderr")
}

# expect STATUS ARGS...: runs and checks the exit status; a failure (1) or
# usage error (2) must say something on stderr.
expect() {
    local want=$1
    shift
    run "$@"
    if [ "$STATUS" -ne "$want" ]; then
        fail "lumvane-cli $* exited $STATUS, expected $want (stderr: $ERR)"
    elif [ "$want" -ne 0 ] && [ -z "$ERR" ]; then
        fail "lumvane-cli $* exited $STATUS without a word on stderr"
    fi
}

# same WANT GOT WHAT
same() {
    [ "$1" = "$2" ] || fail "$3: expected [$1], got [$2]"
}

# matches REGEX TEXT WHAT
matches() {
    printf '%s\n' "$2" | grep -Eq "$1" || fail "$3: [$2] does not match /$1/"
}

last_line() {
    printf '%s\n' "$OUT" | tail -n 1
}

# jpeg PATH WIDTH HEIGHT [flat BYTE]: a JPEG of noise, or of one flat gray.
jpeg() {
    local path=$1 w=$2 h=$3 ppm="$WORK/in.ppm"
    {
        printf 'P6\n%d %d\n255\n' "$w" "$h"
        if [ $# -ge 5 ]; then
            head -c $((w * h * 3)) /dev/zero | tr '\0' "\\$(printf '%03o' "$5")"
        else
            head -c $((w * h * 3)) /dev/urandom
        fi
    } >"$ppm"
    cjpeg -quality 100 "$ppm" >"$path" || fail "cjpeg could not write $path"
}

# broken PATH: starts like a JPEG and then stops.
broken() {
    printf '\377\330\377\340\000\020JFIF' >"$1"
}

finish() {
    [ "$FAILED" -eq 0 ] && echo "all checks passed"
    exit "$FAILED"
}
