#!/usr/bin/env bash
# lumvane-cli copy and move: the transfer engine from the command line, its
# collision answers, refusals, odd names, progress, exit statuses, and a
# second file system that fills up halfway.
source "$(dirname "$0")/cli_common.sh"

src="$WORK/src"
dst="$WORK/dst"
fresh() {
    rm -rf "$src" "$dst"
    mkdir -p "$src/album/sub" "$dst"
    printf 'one' >"$src/a.jpg"
    printf 'two' >"$src/album/b.jpg"
    printf 'three' >"$src/album/sub/c.jpg"
    ln -s a.jpg "$src/link"
}
gone() {
    [ ! -e "$1" ] && [ ! -L "$1" ] || fail "$2: $1 is still there"
}
no_temporaries() {
    [ -z "$(find "$@" -name '.lumvane-*')" ] || fail "a temporary file was left in $*"
}

# Copy: a file, a tree and a link (as a link); the sources stay.
fresh
expect 0 copy "$src/a.jpg" "$src/album" "$src/link" "$dst"
same "" "$ERR" "stderr of a clean copy"
same one "$(cat "$dst/a.jpg")" "copied file"
same three "$(cat "$dst/album/sub/c.jpg")" "copied tree"
same a.jpg "$(readlink "$dst/link")" "copied link"
same three "$(cat "$src/album/sub/c.jpg")" "source of a copy"

# Move: the sources go.
fresh
expect 0 move "$src/album" "$src/a.jpg" "$dst"
gone "$src/album" "moved folder"
gone "$src/a.jpg" "moved file"
same two "$(cat "$dst/album/b.jpg")" "moved tree"

# Each fixed answer to a collision.
fresh
printf 'old' >"$dst/a.jpg"
expect 1 copy --on-collision skip "$src/a.jpg" "$dst"
same old "$(cat "$dst/a.jpg")" "skip keeps the file there"
matches "a\.jpg: An item of that name is in the target folder$" "$ERR" "a skip is reported"
expect 0 copy --on-collision keep-both "$src/a.jpg" "$dst"
same one "$(cat "$dst/a (2).jpg")" "keep both"
expect 1 move --on-collision cancel "$src/a.jpg" "$dst"
matches "cancelled$" "$ERR" "a cancel is reported"
same one "$(cat "$src/a.jpg")" "cancel keeps the source"
expect 0 move --on-collision replace "$src/a.jpg" "$dst"
same one "$(cat "$dst/a.jpg")" "replace"
gone "$src/a.jpg" "replacing move"
no_temporaries "$src" "$dst"
# Another name of the same file is nothing to replace; the source stays.
fresh
ln "$src/a.jpg" "$dst/a.jpg"
expect 1 move --on-collision replace "$src/a.jpg" "$dst"
matches "a\.jpg: It and the item it would replace are the same file$" "$ERR" "replacing a file with itself"
same one "$(cat "$src/a.jpg")" "the source of a move onto itself"

# ask: one answer a line ("all" after it for the rest); an answer it does
# not know is asked again; no more input cancels.
fresh
printf 'old' >"$dst/a.jpg"
mkdir -p "$dst/album"
printf 'old b' >"$dst/album/b.jpg"
printf 'replace\nr\nperhaps\nk all\n' | timeout 60 "$CLI" copy "$src/a.jpg" "$src/album" "$dst" 2>"$WORK/ask.err"
same 0 "$?" "exit status of answered questions"
same 4 "$(grep -c 'is in the way\|answer replace' "$WORK/ask.err")" "questions asked"
same one "$(cat "$dst/a.jpg")" "answered replace"
same "old b" "$(cat "$dst/album/b.jpg")" "merge keeps the file of that name"
same two "$(cat "$dst/album/b (2).jpg")" "answered keep both"
same three "$(cat "$dst/album/sub/c.jpg")" "merged folder"
timeout 60 "$CLI" move "$src/a.jpg" "$dst" </dev/null >/dev/null 2>"$WORK/ask.err"
same 1 "$?" "exit status without answers"
same one "$(cat "$src/a.jpg")" "no answer moves nothing"

# Refused with a reason, nothing touched.
fresh
expect 1 move "$src/album" "$src/album/sub"
matches "album: A folder can't go into its own subfolder$" "$ERR" "into its subfolder"
expect 1 copy "$src/album" "$src/album"
matches "A folder can't go into itself$" "$ERR" "into itself"
expect 1 copy "$src/a.jpg" "$src"
matches "It is in that folder already$" "$ERR" "onto itself"
expect 1 copy "$src/a.jpg" "$src/album/b.jpg"
matches "It is not a folder$" "$ERR" "target is a file"
expect 1 move "$src/a.jpg" "$src/missing" "$dst"
matches "missing: No such file or directory$" "$ERR" "missing source"
same one "$(cat "$src/a.jpg")" "a refused move touches no source"
same "" "$(ls -A "$dst")" "a refused move touches no target"

# Odd names: leading dashes after "--", a newline shown as "?" on one line,
# bytes that are not UTF-8, 255 bytes.
fresh
long=$(printf 'n%.0s' $(seq 251)).jpg
for name in -rf.jpg "new
line.jpg" "$(printf '\377\376.jpg')" "$long"; do
    printf '%s' "$name" >"$src/$name"
    printf 'old' >"$dst/$name"
done
(cd "$src" && timeout 60 "$CLI" move --on-collision skip -- -rf.jpg "new
line.jpg" "$(printf '\377\376.jpg')" "$long" ../dst 2>"$WORK/odd.err")
same 4 "$(wc -l <"$WORK/odd.err")" "one line per skipped name"
matches "^lumvane-cli move: new\?line\.jpg: " "$(grep new "$WORK/odd.err")" "newline shown as ?"
(cd "$src" && timeout 60 "$CLI" move --on-collision keep-both -- -rf.jpg "new
line.jpg" "$(printf '\377\376.jpg')" "$long" ../dst)
same 0 "$?" "odd names moved"
same -rf.jpg "$(cat "$dst/-rf (2).jpg")" "leading dash"
same "$(printf '\377\376.jpg')" "$(cat "$dst/$(printf '\377\376') (2).jpg")" "bytes that are not UTF-8"
same "new
line.jpg" "$(cat "$dst/new
line (2).jpg")" "newline"
same 1 "$(find "$dst" -name 'nnnn* (2).jpg' | wc -l)" "255-byte name shortened for keep both"
same "" "$(ls -A "$src" | grep -vx -e album -e link -e a.jpg)" "odd names left the source"

# Usage errors.
expect 2 copy
expect 2 copy "$src/album"
expect 2 move --on-collision perhaps "$src/album" "$dst"
expect 2 copy --bogus "$src/album" "$dst"
expect 2 move -x "$src/album" "$dst"

# Progress: bytes and files done, the last line the whole.
fresh
expect 0 copy --progress "$src/album" "$dst"
same "progress: 8/8 bytes, 2/2 files" "$(printf '%s\n' "$ERR" | tail -n 1)" "last progress line"

# The hostile folder (a FIFO, broken files, odd names): copied and moved
# whole but for the FIFO, which is reported, never opened, and stays.
source "$(dirname "$0")/../hostile_folder.sh"
make_hostile_folder "$WORK/hostile" "$(dirname "$0")/../../samples" || fail "could not make the folder"
rm -rf "$dst" && mkdir -p "$dst"
expect 1 copy "$WORK/hostile" "$dst"
same "lumvane-cli copy: $WORK/hostile/p.jpg: A FIFO, device or socket is not copied" "$ERR" "FIFO reported"
same "$(cd "$WORK/hostile" && find . ! -name p.jpg | sort | md5sum)" "$(cd "$dst/hostile" && find . | sort | md5sum)" \
    "hostile copy"
cmp -s "$WORK/hostile/7-thin.jpg" "$dst/hostile/7-thin.jpg" || fail "hostile copy bytes"
rm -rf "$dst" && mkdir -p "$dst"
expect 0 move "$WORK/hostile" "$dst"
[ -p "$dst/hostile/p.jpg" ] || fail "a FIFO moved within one file system goes with its folder"

# A second file system (a tmpfs, where mount namespaces can be had) that is
# too small: the move stops at the file that does not fit; what moved stays
# moved, the rest stays where it was, nothing is lost and nothing is left.
if unshare -m true 2>/dev/null; then
    cat >"$WORK/across.sh" <<'EOF'
set -u
cli=$1 work=$2
mount --make-rprivate / && mkdir -p "$work/small" "$work/big" "$work/many" \
    && mount -t tmpfs -o size=1m lumvane-test "$work/small" \
    && mount -t tmpfs -o size=64m lumvane-test "$work/big" || exit 3
head -c 300000 /dev/urandom >"$work/many/a.jpg"
head -c 300000 /dev/urandom >"$work/many/b.jpg"
head -c 600000 /dev/urandom >"$work/many/c.jpg"
sums=$(cd "$work/many" && md5sum a.jpg b.jpg c.jpg)
"$cli" move "$work/many/a.jpg" "$work/many/b.jpg" "$work/many/c.jpg" "$work/small" 2>"$work/full.err"
status=$?
[ "$status" -eq 1 ] || { echo "full disk: exit status $status"; exit 1; }
grep -q 'c\.jpg: No space left on device$' "$work/full.err" || { echo "full disk not named"; exit 1; }
[ "$(ls -A "$work/small")" = "a.jpg
b.jpg" ] || { echo "small holds: $(ls -A "$work/small")"; exit 1; }
[ "$(ls -A "$work/many")" = "c.jpg" ] || { echo "source holds: $(ls -A "$work/many")"; exit 1; }
got=$( (cd "$work/small" && md5sum a.jpg b.jpg); (cd "$work/many" && md5sum c.jpg) )
[ "$got" = "$sums" ] || { echo "bytes changed"; exit 1; }
# A tree across file systems, with permissions and times.
mkdir -p "$work/tree/in"
printf x >"$work/tree/in/x.jpg"
chmod 0640 "$work/tree/in/x.jpg"
touch -d 2001-02-03 "$work/tree/in/x.jpg"
"$cli" move "$work/tree" "$work/big" || { echo "tree not moved"; exit 1; }
[ ! -e "$work/tree" ] || { echo "tree still there"; exit 1; }
[ "$(stat -c '%a %Y' "$work/big/tree/in/x.jpg")" = "640 $(date -d 2001-02-03 +%s)" ] \
    || { echo "attributes not kept"; exit 1; }
# Into its own subfolder through a bind mount, where the path does not show
# it: refused, and nothing is written.
mkdir -p "$work/self/sub/deeper" "$work/bound" && printf x >"$work/self/a.jpg"
mount --bind "$work/self/sub" "$work/bound" || exit 3
for target in bound bound/deeper; do
    for verb in copy move; do
        "$cli" $verb "$work/self" "$work/$target" 2>"$work/self.err"
        [ $? -eq 1 ] && grep -q "self: A folder can't go into its own subfolder$" "$work/self.err" \
            && [ "$(find "$work/self" | wc -l)" -eq 4 ] || { echo "$verb into $target, its own"; exit 1; }
    done
done
umount "$work/bound"
exit 0
EOF
    unshare -m bash "$WORK/across.sh" "$CLI" "$WORK"
    status=$?
    [ "$status" -ne 3 ] || echo "skipped: no tmpfs could be mounted"
    [ "$status" -eq 0 ] || [ "$status" -eq 3 ] || fail "across file systems"
    no_temporaries "$WORK"
else
    echo "skipped: no mount namespace for a second file system"
fi

finish
