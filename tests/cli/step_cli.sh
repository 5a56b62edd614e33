#!/usr/bin/env bash
# lumvane-cli step: PageDown through a folder, each image fully decoded.
source "$(dirname "$0")/cli_common.sh"

summary='^steps: ([0-9]+), prefetched ([0-9]+), median wait [0-9]+\.[0-9] ms, max [0-9]+\.[0-9] ms$'

dir="$WORK/photos"
mkdir -p "$dir"
for name in a.jpg b.jpg "c d.jpg" -e.jpg; do
    jpeg "$dir/$name" 96 64
done
broken "$dir/bad.jpg"
mkfifo "$dir/pipe.jpg"

# Six items: the first is shown, then five steps; a line per image.
expect 0 step "$dir" --fit 32x32 --rotate 1 --flip-h --flip-v --pause 1
matches "$summary" "$(last_line)" "summary line"
same "steps: 5," "$(last_line | cut -d' ' -f1-2)" "steps through the whole list"
same 7 "$(printf '%s\n' "$OUT" | wc -l)" "one line per image and the summary"
same "-e.jpg" "$(printf '%s\n' "$OUT" | head -n 1 | cut -d: -f1)" "first image shown"
matches '^bad\.jpg: [0-9.]+ ms.*, not decodable$' "$(printf '%s\n' "$OUT" | grep '^bad')" "corrupt file"
matches '^pipe\.jpg: [0-9.]+ ms.*, not decodable$' "$(printf '%s\n' "$OUT" | grep '^pipe')" "pipe"
matches '^a\.jpg: [0-9.]+ ms(, prefetched)?$' "$(printf '%s\n' "$OUT" | grep '^a\.jpg')" "good file"

# With a (generous) pause the neighbour is decoded ahead of the step.
expect 0 step "$dir" --count 1 --pause 2000
same "steps: 1, prefetched 1," "$(last_line | cut -d' ' -f1-4)" "prefetched with a pause"
expect 0 step --count 0 -- "$dir"
same "steps: 0," "$(last_line | cut -d' ' -f1-2)" "count 0 shows the first image only"
same 2 "$(printf '%s\n' "$OUT" | wc -l)" "count 0 output"

mkdir -p "$WORK/empty"
expect 0 step "$WORK/empty"
same "steps: 0, prefetched 0, median wait 0.0 ms, max 0.0 ms" "$OUT" "empty folder"

expect 1 step "$WORK/missing"
expect 1 step "$dir/a.jpg"
expect 2 step
expect 2 step "$dir" --fit 32
expect 2 step "$dir" --fit x32
expect 2 step "$dir" --rotate 4
expect 2 step "$dir" --count -1
expect 2 step "$dir" --pause
expect 2 step "$dir" --what
expect 2 step "$dir" "$dir"

finish
