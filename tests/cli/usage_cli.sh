#!/usr/bin/env bash
# The command line's conventions (--help and --version on standard output
# with 0, mistakes on standard error with 2), the bash completion, and a
# start without QtGui.
source "$(dirname "$0")/cli_common.sh"
completion=$(realpath "$(dirname "$0")/../../dist/lumvane-cli.bash-completion")

for args in --help -h; do
    expect 0 "$args"
    matches "^  lumvane-cli transform " "$OUT" "$args lists the commands"
    same "" "$ERR" "$args on stderr"
done
expect 0 --version
matches "^lumvane-cli [0-9]+\.[0-9]+" "$OUT" "--version"
# Loading QtGui and its libraries costs every run milliseconds; the commands
# that need it are handed to lumvane-cli-full.
readelf -d "$CLI" | grep -q "NEEDED.*libQt6Gui" && fail "lumvane-cli loads QtGui"
expect 2
expect 2 frobnicate
matches "^  lumvane-cli info " "$ERR" "the usage of a wrong command"
same "" "$OUT" "usage error on stdout"

# complete WANT WORDS...: the completion of the last word (empty: a new
# word), its candidates joined with blanks.
complete_is() {
    local want=$1
    shift
    local got
    got=$(cd "$WORK/c" && bash -c 'source "$0"; COMP_WORDS=("${@}"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
        _lumvane_cli; printf "%s\n" "${COMPREPLY[@]}"' "$completion" lumvane-cli "$@" | sort | paste -sd' ')
    same "$want" "$got" "completion of [$*]"
}
mkdir -p "$WORK/c/sub dir"
touch "$WORK/c/a.jpg" "$WORK/c/b c.JPEG" "$WORK/c/d.png"
complete_is "thumb thumbs transform" t
complete_is "-- --auto-orient --colour-profile --exif --size" thumb x.jpg --
complete_is "a.jpg b c.JPEG sub dir" render ""
complete_is "a.jpg b c.JPEG sub dir" transform --auto-orient --keep-mtime ""
complete_is "180 270 90" transform --rotate ""
complete_is "--tag-only --transpose --transverse --trim" transform --t
complete_is "sub dir" thumbs ""
complete_is "a.jpg b c.JPEG d.png sub dir" copy --progress ""
complete_is "keep-both" move --on-collision k
complete_is "" render -- --
finish
