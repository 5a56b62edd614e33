#!/usr/bin/env bash
# Times lumvane-cli on files made to hurt a decoder: sparse files that never
# end, headers declaring huge pictures over a few kilobytes, a thousand scans,
# empty restart intervals. Prints, for info, thumb, render and a fitted
# render of each: the exit status, the seconds and the peak resident size.
#   scripts/bench-hostile.sh [BUILD]      (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cli=${1:-build}/tools/lumvane-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

noise() {  # noise W H: a P6 picture of random bytes
    printf 'P6\n%d %d\n255\n' "$1" "$2"
    head -c $(($1 * $2 * 3)) /dev/urandom
}
offset() {  # offset FILE HEX [N]: byte offset of the Nth marker 0xFF HEX
    LC_ALL=C grep -obUaP "\xFF\x$2" "$1" | sed -n "${3:-1}p" | cut -d: -f1
}
frame_size() {  # frame_size FILE SOFHEX W H: the frame header claims W x H
    local at
    at=$(offset "$1" "$2")
    printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($4 >> 8)) $(($4 & 255)) $(($3 >> 8)) $(($3 & 255)))" \
        | dd of="$1" bs=1 seek=$((at + 5)) conv=notrunc status=none
}
repeat_first_scan() {  # repeat_first_scan FILE COUNT: the first scan again COUNT times
    local first second
    first=$(offset "$1" DA 1)
    second=$(offset "$1" DA 2)
    {
        head -c "$(($(stat -c %s "$1") - 2))" "$1"
        for _ in $(seq "$2"); do tail -c +"$((first + 1))" "$1" | head -c "$((second - first))"; done
        printf '\xFF\xD9'
    } >"$1.new"
    mv "$1.new" "$1"
}

noise 640 480 | cjpeg -quality 90 >"$work/base.jpg"
head -c -2 "$work/base.jpg" >"$work/never-baseline.jpg"
truncate -s 50G "$work/never-baseline.jpg"
noise 640 480 | cjpeg -progressive >"$work/prog.jpg"
cut_at=$((($(offset "$work/prog.jpg" DA 2) + $(offset "$work/prog.jpg" DA 3)) / 2))
head -c "$cut_at" "$work/prog.jpg" >"$work/never-progressive.jpg"
truncate -s 50G "$work/never-progressive.jpg"
for side in 13000 12000 9200; do
    noise 64 64 | cjpeg -progressive -sample 1x1 >"$work/bomb-444-$side.jpg"
    frame_size "$work/bomb-444-$side.jpg" C2 "$side" "$side"
done
cp "$work/base.jpg" "$work/bomb-baseline-16384.jpg"
frame_size "$work/bomb-baseline-16384.jpg" C0 16384 16384
noise 64 64 | cjpeg -grayscale -progressive -arithmetic >"$work/arith-990-scans.jpg"
repeat_first_scan "$work/arith-990-scans.jpg" 990
frame_size "$work/arith-990-scans.jpg" CA 13000 13000
# Every restart interval empty: one interval per row of 4094 MCUs.
noise 16 16 | cjpeg >"$work/small.jpg"
frame_size "$work/small.jpg" C0 65500 65500
sos=$(offset "$work/small.jpg" DA)
read -r hi lo < <(od -An -tu1 -j $((sos + 2)) -N 2 "$work/small.jpg")
sos_length=$((hi * 256 + lo))
{
    head -c "$sos" "$work/small.jpg"
    printf '\xFF\xDD\x00\x04\x0F\xFE'
    tail -c +"$((sos + 1))" "$work/small.jpg" | head -c $((2 + sos_length))
    for i in $(seq 0 4092); do printf "\\xFF\\x$(printf '%02x' $((0xD0 + i % 8)))"; done
    printf '\xFF\xD9'
} >"$work/restarts-65500.jpg"

printf '%-24s %-12s %4s %8s %8s\n' file command exit seconds MB
for f in never-baseline never-progressive bomb-444-13000 bomb-444-12000 bomb-444-9200 \
    bomb-baseline-16384 arith-990-scans restarts-65500; do
    for cmd in info thumb render fit; do
        case $cmd in
        info) args=(info "$work/$f.jpg") ;;
        thumb) args=(thumb "$work/$f.jpg" -o "$work/out.ppm") ;;
        render) args=(render "$work/$f.jpg" -o "$work/out.ppm") ;;
        fit) args=(render "$work/$f.jpg" -o "$work/out.ppm" --fit 1920x1080) ;;
        esac
        status=0
        /usr/bin/time -f '%e %M' -o "$work/time" timeout 120 "$cli" "${args[@]}" >/dev/null 2>&1 || status=$?
        read -r seconds kb < <(tail -n 1 "$work/time") || true
        printf '%-24s %-12s %4s %8s %8s\n' "$f" "$cmd" "$status" "$seconds" "$((${kb:-0} / 1024))"
    done
done
