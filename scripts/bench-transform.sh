#!/usr/bin/env bash
# Whole-process speed of lossless rotation: lumvane-cli transform against a
# shell loop of jpegtran + rename and against exiftran -a -i, on N
# camera-like 24 MP photos (noise, qualities and a progressive share varied,
# Exif with a thumbnail). Every run starts from the same files (hard links,
# so the reset costs nothing: all three replace a file by a rename), runs
# alternate, and after the runs the outputs must decode to the same pixels.
# Prints the medians of wall and CPU time (user + system) and their ratios.
#   scripts/bench-transform.sh [BUILD_DIR] [N] [RUNS] [PHOTO_DIR]
# PHOTO_DIR keeps the photos (up/ and side/) for another call, which then
# reuses them. PROGRESSIVE=K (0..8, default 1) makes K of every 8 photos
# progressive: cameras write baseline, edited and web photos are often not.
# Needs libjpeg-turbo-progs, libimage-exiftool-perl, imagemagick and the
# yardstick exiftran, installed for the benchmark alone: apt-get install exiftran.
# Build the lumvane-cli and decode_bench targets first.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
count=${2:-100}
runs=${3:-5}
photos=${4:-}
progressive=${PROGRESSIVE:-1}
build=$(cd "$build" && pwd)
cli=$build/tools/lumvane-cli
for tool in djpeg cjpeg jpegtran exiftran exiftool convert; do
  command -v $tool >/dev/null || { echo "$tool not found"; exit 2; }
done
[ -x "$cli" ] && [ -x "$build/bench/decode_bench" ] || { echo "build lumvane-cli and decode_bench first"; exit 2; }
tmp=$(mktemp -d "${TMPDIR:-/var/tmp}/bench-transform.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
[ -n "$photos" ] && mkdir -p "$photos" && photos=$(cd "$photos" && pwd)
cd "$tmp"

make_photos() {
  # Eight variants of one scene: grain from none to heavy, qualities 85..95,
  # the last PROGRESSIVE of them progressive; Exif as a camera writes it,
  # with a thumbnail.
  # up/ holds them with Orientation 1, side/ the same pixels with Orientation 6
  # (for exiftran -a, which acts only on the tag).
  "$build/bench/decode_bench" --write-photo base.jpg
  djpeg -pnm base.jpg >base.ppm
  mkdir -p up side
  noises=(0 0.2 0.4 0.6 0.3 0.8 0.5 0.1)
  qualities=(90 92 88 95 85 92 90 94)
  for v in 0 1 2 3 4 5 6 7; do
    convert base.ppm -seed $((v + 1)) -attenuate "${noises[v]}" +noise Gaussian v.ppm
    cjpeg -quality "${qualities[v]}" v.ppm >v$v.jpg
    if [ $v -ge $((8 - progressive)) ]; then jpegtran -progressive -copy all -outfile v.jpg v$v.jpg && mv v.jpg v$v.jpg; fi
    djpeg -scale 1/8 -pnm v$v.jpg | convert ppm:- -resize 160x120 ppm:- | cjpeg -quality 75 >thumb.jpg
    exiftool -q -n -overwrite_original -Make=Lumvane -Model="Bench Camera" -Orientation=1 \
      -DateTimeOriginal="2026:01:01 10:00:00" -ExifImageWidth=6000 -ExifImageHeight=4000 \
      "-ThumbnailImage<=thumb.jpg" v$v.jpg
    cp v$v.jpg side/v$v.jpg
    exiftool -q -n -overwrite_original -Orientation=6 side/v$v.jpg
  done
  rm -f base.ppm v.ppm thumb.jpg
  for ((i = 0; i < count; i++)); do
    name=$(printf "p%03d.jpg" $i)
    cp v$((i % 8)).jpg up/$name
    cp side/v$((i % 8)).jpg side/$name
  done
  rm -f side/v?.jpg
}
if [ -z "$photos" ] || [ ! -e "$photos/side/$(printf "p%03d.jpg" $((count - 1)))" ]; then
  make_photos
  [ -z "$photos" ] || { rm -rf "$photos/up" "$photos/side"; cp -r up side "$photos/"; }
else
  cp -al "$photos/up" "$photos/side" . 2>/dev/null || cp -r "$photos/up" "$photos/side" .
fi
echo "$count photos, 6000x4000, $progressive in 8 progressive, $(du -sm up | cut -f1) MB, $runs runs each, alternating"

# "wall cpu" in microseconds of one command on a fresh copy of the set.
timeit() {
  local set=$1 start end; shift
  rm -rf work && cp -al "$set" work
  start=$(date +%s%N)
  /usr/bin/time -f "%U %S" -o time.txt "$@" >/dev/null 2>err.txt || { cat err.txt; exit 1; }
  end=$(date +%s%N)
  awk -v w=$(((end - start) / 1000)) '{printf "%d %d\n", w, ($1 + $2) * 1000000}' time.txt
}

# The globs are expanded once, on a copy of the set: every run names the same files.
mkdir work && cp -al up/. work/
# The turn is an option (--rotate 90) in newer builds, a word before.
if "$cli" transform 2>&1 | grep -q -- --rotate; then turn=(--rotate 90) upright=(--auto-orient)
else turn=(rotate90) upright=(auto); fi
ours_rotate=("$cli" transform "${turn[@]}" work/*.jpg)
ours_auto=("$cli" transform "${upright[@]}" work/*.jpg)
exiftran_all=(exiftran -a -i work/*.jpg)
jpegtran_loop=(sh -c 'for f in work/*.jpg; do jpegtran -rotate 90 -perfect -outfile "$f.tmp" "$f" && mv "$f.tmp" "$f"; done')

: >rotate.txt; : >jpegtran.txt; : >auto.txt; : >exiftran.txt
for ((r = 0; r < runs; r++)); do
  timeit up "${ours_rotate[@]}" >>rotate.txt
  timeit up "${jpegtran_loop[@]}" >>jpegtran.txt
  timeit side "${ours_auto[@]}" >>auto.txt
  timeit side "${exiftran_all[@]}" >>exiftran.txt
done

# The last run of each, kept, must decode to the same pixels.
pixels() { for f in "$1"/*.jpg; do djpeg -ppm "$f" | md5sum; done >"$2"; }
timeit up "${ours_rotate[@]}" >/dev/null && mv work out-rotate
timeit up "${jpegtran_loop[@]}" >/dev/null && mv work out-jpegtran
timeit side "${ours_auto[@]}" >/dev/null && mv work out-auto
timeit side "${exiftran_all[@]}" >/dev/null && mv work out-exiftran
pixels out-rotate rotate.md5 && pixels out-jpegtran jpegtran.md5
pixels out-auto auto.md5 && pixels out-exiftran exiftran.md5
same=yes
cmp -s rotate.md5 jpegtran.md5 && cmp -s auto.md5 exiftran.md5 && cmp -s rotate.md5 auto.md5 || same=NO
echo "identical pixels: $same"

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
report() {
  local label=$1 a=$2 b=$3 aw ac bw bc
  aw=$(cut -d' ' -f1 "$a" | median); ac=$(cut -d' ' -f2 "$a" | median)
  bw=$(cut -d' ' -f1 "$b" | median); bc=$(cut -d' ' -f2 "$b" | median)
  awk -v l="$label" -v aw="$aw" -v ac="$ac" -v bw="$bw" -v bc="$bc" 'BEGIN {
    printf "%-34s wall %7.2f s vs %7.2f s  ratio %.3f\n", l, aw/1e6, bw/1e6, aw/bw
    printf "%-34s cpu  %7.2f s vs %7.2f s  ratio %.3f\n", "", ac/1e6, bc/1e6, ac/bc }'
}
report "rotate90 vs jpegtran loop" rotate.txt jpegtran.txt
report "auto vs exiftran -a -i" auto.txt exiftran.txt
[ $same = yes ]
