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
#
#   scripts/bench-start.sh --vs feh [BUILD_DIR] [RUNS]
# The same start against feh (installed for the benchmark only:
# apt-get install feh), alternating, on a baseline and a progressive copy of
# the 6000 x 4000 photograph with its top eighth and a block in its middle
# painted magenta, each alone in its folder. Both programs are timed the same
# way: scripts/first-pixels.c polls the screen for magenta. Each runs with
# its defaults: Lumvane fits the photograph to its window and paints it from
# the top; feh shows its centre at its own size, sparing itself the scaling.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/xvfb-lib.sh
if [ "${1:-}" = --vs ]; then
  [ "${2:-}" = feh ] || { echo "only --vs feh is known"; exit 2; }
  shift 2
  vs_feh=1
fi
build=$(realpath "${1:-build}")
runs=${2:-7}
file=${3:-}
app=$build/ui/lumvane
[ -x "$app" ] || { echo "no $app: build the lumvane target first"; exit 2; }
command -v Xvfb >/dev/null || { echo "Xvfb not found"; exit 2; }
work=$(mktemp -d)
trap 'end_session "$work"' EXIT
export XDG_CACHE_HOME="$work/cache" XDG_RUNTIME_DIR="$work"
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

# vs_photos: writes band.jpg (baseline) and band-p.jpg (progressive) into
# folders of their own under $work.
vs_photos() {
  local ppm=$work/photo.ppm
  "$build/bench/decode_bench" --write-photo "$work/photo.jpg"
  djpeg -pnm -outfile "$ppm" "$work/photo.jpg"
  python3 - "$ppm" <<'PY'
import sys
path = sys.argv[1]
data = bytearray(open(path, 'rb').read())
# djpeg writes "P6\n<w> <h>\n255\n"
head_end = 0
for _ in range(3):
    head_end = data.index(b'\n', head_end) + 1
w, h = map(int, data[3:head_end].split()[:2])
band = h // 8
data[head_end:head_end + w * band * 3] = b'\xff\x00\xff' * (w * band)
# and a block in the middle, for a viewer showing the centre at its own size
for y in range(h * 3 // 8, h * 5 // 8):
    at = head_end + (y * w + w * 3 // 8) * 3
    data[at:at + (w // 4) * 3] = b'\xff\x00\xff' * (w // 4)
open(path, 'wb').write(data)
PY
  mkdir -p "$work/b" "$work/p"
  cjpeg -quality 90 -outfile "$work/b/band.jpg" "$ppm"
  cjpeg -quality 90 -progressive -outfile "$work/p/band-p.jpg" "$ppm"
  rm -f "$ppm" "$work/photo.jpg"
}

# vs_run PROGRAM FILE: prints "milliseconds-to-first-magenta peak-kilobytes".
vs_run() {
  local who=$1 image=$2 t0 seen child
  "$watch" ff00ff 30000 >"$work/seen" &
  local watcher=$!
  until grep -q ready "$work/seen"; do sleep 0.01; done
  t0=$(date +%s%N)
  if [ "$who" = lumvane ]; then
    /usr/bin/time -f "%M" -o "$work/rss" "$app" "$image" 2>/dev/null &
  else
    /usr/bin/time -f "%M" -o "$work/rss" feh "$image" 2>/dev/null &
  fi
  app_pid=$!
  wait "$watcher" || { echo "no magenta within 30 s" >&2; return 1; }
  seen=$(tail -n 1 "$work/seen")
  # The rest of the decode counts for the peak.
  sleep 2
  child=$(pgrep -P "$app_pid" || true)
  [ -n "$child" ] && kill -TERM "$child"
  wait "$app_pid" || true
  app_pid=""
  echo "$(( (seen - t0) / 1000000 )) $(tail -n 1 "$work/rss")"
}

if [ -n "${vs_feh:-}" ]; then
  command -v feh >/dev/null || { echo "feh not found (apt-get install feh)"; exit 2; }
  watch=$work/first-pixels
  cc -O2 -o "$watch" scripts/first-pixels.c -lX11
  vs_photos
  start_xvfb 1280x1024x24 "$work" || { echo "Xvfb did not start"; exit 2; }
  echo "screen 1280x1024x24, $runs runs each, alternating lumvane and feh"
  for kind in b p; do
    image=$(ls "$work/$kind"/*.jpg)
    : >"$work/lumvane.txt"; : >"$work/feh.txt"
    vs_run lumvane "$image" >/dev/null   # warm the page cache
    vs_run feh "$image" >/dev/null
    for ((i = 0; i < runs; i++)); do
      for who in lumvane feh; do
        vs_run $who "$image" | tee -a "$work/$who.txt" | sed "s/^/  $(basename "$image") $who: ms, peak KB: /"
      done
    done
    l=$(cut -d' ' -f1 "$work/lumvane.txt" | median)
    f=$(cut -d' ' -f1 "$work/feh.txt" | median)
    kb=$(cut -d' ' -f2 "$work/lumvane.txt" | median)
    printf "%-11s lumvane %5d ms, feh %5d ms, ratio %.2f; lumvane peak %6.1f MB (medians)\n" \
      "$(basename "$image")" "$l" "$f" "$(echo "$l / $f" | bc -l)" "$(echo "$kb / 1024" | bc -l)"
  done
  exit 0
fi

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
