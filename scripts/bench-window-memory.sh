#!/usr/bin/env bash
# Peak resident size of the real program opening a folder of large
# progressive photos with the panel, under Xvfb on a 1280 x 1024 screen: the
# time from exec until the shared thumbnail cache holds a thumbnail of every
# photo, and the peak of the whole run. Runs alternate between the default
# decode-memory budget and one set huge (LUMVANE_DECODE_MEMORY=100G), which
# decodes as if there were none.
#   scripts/bench-window-memory.sh [BUILD_DIR] [RUNS] [PHOTOS]
# PHOTOS (default 12) copies of the decode benchmark's 6000 x 4000
# photograph made progressive (build the decode_bench and lumvane targets
# first). Prints every run and the medians; a benchmark, nothing is asserted.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/xvfb-lib.sh
build=$(realpath "${1:-build}")
runs=${2:-3}
photos=${3:-12}
app=$build/ui/lumvane
[ -x "$app" ] || { echo "no $app: build the lumvane target first"; exit 2; }
command -v Xvfb >/dev/null || { echo "Xvfb not found"; exit 2; }
command -v jpegtran >/dev/null || { echo "jpegtran not found (libjpeg-turbo-progs)"; exit 2; }
work=$(mktemp -d)
trap 'end_session "$work"' EXIT
export XDG_RUNTIME_DIR="$work"

mkdir -p "$work/photos"
"$build/bench/decode_bench" --write-photo "$work/baseline.jpg"
jpegtran -progressive -outfile "$work/photos/photo-1.jpg" "$work/baseline.jpg"
for ((i = 2; i <= photos; i++)); do cp "$work/photos/photo-1.jpg" "$work/photos/photo-$i.jpg"; done
start_xvfb 1280x1024x24 "$work" || { echo "Xvfb did not start"; exit 2; }

# run [VAR=VALUE]: one start with an empty cache; prints "milliseconds
# peak-kilobytes".
run() {
  local t0 t1 end child
  rm -rf "$work/cache"
  t0=$(date +%s%N)
  (cd "$work/photos" && XDG_CACHE_HOME="$work/cache" exec env "$@" /usr/bin/time -f "%M" -o "$work/rss" "$app") \
    2>/dev/null &
  app_pid=$!
  end=$((SECONDS + 120))
  until [ "$(find "$work/cache/thumbnails/normal" -name '*.png' 2>/dev/null | wc -l)" -ge "$photos" ]; do
    [ $SECONDS -lt $end ] || { echo "the thumbnails were not all made within 120 s" >&2; return 1; }
    sleep 0.05
  done
  t1=$(date +%s%N)
  child=$(pgrep -P "$app_pid" || true)
  [ -n "$child" ] && kill -TERM "$child"
  wait "$app_pid" || true
  app_pid=""
  echo "$(( (t1 - t0) / 1000000 )) $(tail -n 1 "$work/rss")"
}

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

echo "$photos progressive 6000x4000 photos, screen 1280x1024x24, $runs runs each, alternating"
: >"$work/default.txt"; : >"$work/huge.txt"
for ((i = 0; i < runs; i++)); do
  run LUMVANE_BENCH_RUN=1 | tee -a "$work/default.txt" | sed 's/^/  default budget: ms, peak KB: /'
  run LUMVANE_DECODE_MEMORY=100G | tee -a "$work/huge.txt" | sed 's/^/  huge budget:    ms, peak KB: /'
done
for mode in default huge; do
  ms=$(cut -d' ' -f1 "$work/$mode.txt" | median)
  kb=$(cut -d' ' -f2 "$work/$mode.txt" | median)
  printf "%-7s budget: every thumbnail made %6d ms after exec, peak resident %6.1f MB (medians)\n" \
    "$mode" "$ms" "$(echo "$kb / 1024" | bc -l)"
done
