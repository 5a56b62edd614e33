#!/usr/bin/env bash
# Start-up of the real program under Xvfb on a 1280 x 1024 screen: the time
# from exec to the first painted rows of the image, and the peak resident
# size and the processor time of the whole run (start, the image and its
# neighbours decoded; a decode started and dropped shows here). Once
# with the photograph opened alone, once with its folder as the start folder.
#   scripts/bench-start.sh [BUILD_DIR] [RUNS] [JPEG]
# Without JPEG the decode benchmark's 6000 x 4000 photograph is written to a
# temporary folder, with two copies beside it (build the decode_bench target
# first). Prints every run and the medians; a benchmark, nothing is asserted.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/xvfb-lib.sh
build=$(realpath "${1:-build}")
runs=${2:-7}
file=${3:-}
app=$build/ui/lumvane
[ -x "$app" ] || { echo "no $app: build the lumvane target first"; exit 2; }
command -v Xvfb >/dev/null || { echo "Xvfb not found"; exit 2; }
work=$(mktemp -d)
trap 'end_session "$work"' EXIT
export XDG_CACHE_HOME="$work/cache" XDG_RUNTIME_DIR="$work"

if [ -z "$file" ]; then
  mkdir -p "$work/photos"
  file=$work/photos/photo-1.jpg
  "$build/bench/decode_bench" --write-photo "$file"
  cp "$file" "$work/photos/photo-2.jpg"
  cp "$file" "$work/photos/photo-3.jpg"
fi
file=$(realpath "$file")
start_xvfb 1280x1024x24 "$work" || { echo "Xvfb did not start"; exit 2; }

# run MODE: one start; prints "milliseconds-to-first-paint peak-kilobytes
# cpu-milliseconds".
run() {
  local mode=$1 log="$work/log" t0 painted kb child
  : >"$log"
  t0=$(date +%s%N)
  if [ "$mode" = file ]; then
    QT_LOGGING_RULES="lumvane.view.debug=true" QT_MESSAGE_PATTERN="%{time yyyy-MM-dd hh:mm:ss.zzz} %{message}" \
      /usr/bin/time -f "%M %U %S" -o "$work/rss" "$app" "$file" 2>"$log" &
  else
    (cd "$(dirname "$file")" && QT_LOGGING_RULES="lumvane.view.debug=true" \
      QT_MESSAGE_PATTERN="%{time yyyy-MM-dd hh:mm:ss.zzz} %{message}" \
      exec /usr/bin/time -f "%M %U %S" -o "$work/rss" "$app") 2>"$log" &
  fi
  app_pid=$!
  local end=$((SECONDS + 30))
  until grep -q "first rows" "$log"; do
    [ $SECONDS -lt $end ] || { echo "no image painted within 30 s" >&2; return 1; }
    sleep 0.02
  done
  # The neighbours are decoded after the image: give them time, then end.
  sleep 3
  child=$(pgrep -P "$app_pid" || true)
  [ -n "$child" ] && kill -TERM "$child"
  wait "$app_pid" || true
  app_pid=""
  painted=$(grep -m1 "first rows" "$log" | cut -c1-23)
  painted=$(date -d "$painted" +%s%N)
  kb=$(tail -n 1 "$work/rss" | awk '{printf "%d %d", $1, ($2 + $3) * 1000}')
  echo "$(( (painted - t0) / 1000000 )) $kb"
}

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

echo "file: $file ($(stat -c %s "$file") bytes), screen 1280x1024x24, $runs runs each, alternating"
: >"$work/file.txt"; : >"$work/folder.txt"
run file >/dev/null   # warm the page cache
for ((i = 0; i < runs; i++)); do
  run file | tee -a "$work/file.txt" | sed 's/^/  alone:  ms, peak KB, cpu ms: /'
  run folder | tee -a "$work/folder.txt" | sed 's/^/  folder: ms, peak KB, cpu ms: /'
done
for mode in file folder; do
  ms=$(cut -d' ' -f1 "$work/$mode.txt" | median)
  kb=$(cut -d' ' -f2 "$work/$mode.txt" | median)
  cpu=$(cut -d' ' -f3 "$work/$mode.txt" | median)
  printf "%-7s first paint %5d ms after exec, peak resident %6.1f MB, cpu %5d ms (medians)\n" \
    "$mode" "$ms" "$(echo "$kb / 1024" | bc -l)" "$cpu"
done
