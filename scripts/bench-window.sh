#!/usr/bin/env bash
# The window's thumbnails against the command's and a peer browser's, under
# Xvfb on a 1280 x 1024 screen, each run a whole process:
#   cold: the program started with the folder as its start folder, from exec
#         until the last thumbnail is made (the loader's "thumbnails settled"
#         line), with a fresh thumbnail cache;
#   cli:  lumvane-cli thumbs --no-cache FOLDER, from exec to exit;
#   peer: gThumb on the folder with a fresh cache, from exec until its cache
#         holds a thumbnail of every photo (only when installed; install it
#         for the benchmark alone: apt-get install gthumb);
#   warm: the program again on the cache its cold run filled, from the first
#         paint of the pane (the window shown) until every thumbnail of the
#         pane's first screen is shown.
#   scripts/bench-window.sh [BUILD_DIR] [RUNS] [FOLDER]
# Without FOLDER, 44 photos of 8 to 50 megapixels with varied detail, a third
# progressive, are written to a temporary folder (build the decode_bench
# target first). The runs alternate; prints every run and the medians. A
# benchmark: nothing is asserted.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/xvfb-lib.sh
build=$(realpath "${1:-build}")
runs=${2:-5}
folder=${3:-}
app=$build/ui/lumvane
cli=$build/tools/lumvane-cli
for tool in "$app" "$cli"; do
  [ -x "$tool" ] || { echo "no $tool: build the lumvane and lumvane-cli targets first"; exit 2; }
done
command -v Xvfb >/dev/null || { echo "Xvfb not found"; exit 2; }
work=$(mktemp -d)
peer_pid=""
trap '[ -n "$peer_pid" ] && kill -9 "$peer_pid" 2>/dev/null; end_session "$work"' EXIT
export XDG_RUNTIME_DIR="$work" XDG_CONFIG_HOME="$work/config"

# 8, 12, 16, 20, 24, 30, 36, 43 and 50 megapixels and two more, each with a
# landscape of its own; every third file made progressive, among them the
# neighbours of the first (the image the window opens with).
make_photos() {
  local sizes=(3464x2309 4000x3000 4899x3266 5477x3651 6000x4000 6708x4472 7348x4899 8000x5333
    8660x5773 4600x3450 6400x4267) i size file
  for ((i = 0; i < 44; i++)); do
    size=${sizes[$((i % ${#sizes[@]}))]}
    file=$(printf "%s/photo-%02d.jpg" "$1" "$i")
    "$build/bench/decode_bench" --write-photo "$work/one.jpg" "${size%x*}" "${size#*x}" $((i + 1))
    if ((i % 3 == 1)); then
      jpegtran -progressive -copy all "$work/one.jpg" >"$file"
    else
      mv "$work/one.jpg" "$file"
    fi
  done
  rm -f "$work/one.jpg"
}

if [ -z "$folder" ]; then
  folder=$work/photos
  mkdir -p "$folder"
  echo "writing 44 photos to $folder"
  make_photos "$folder"
fi
folder=$(realpath "$folder")
photos=$(find "$folder" -maxdepth 1 -iname '*.jp*g' | wc -l)
start_xvfb 1280x1024x24 "$work" || { echo "Xvfb did not start"; exit 2; }

now() { date +%s%N; }
# stamp LOG TEXT: the clock of the first line with TEXT, in nanoseconds.
stamp() {
  local line
  line=$(grep -m1 "$2" "$1" | cut -c1-23)
  [ -n "$line" ] && date -d "$line" +%s%N
}

# wait_for LOG TEXT: polls until the line is in the log; false after 60 s.
wait_for() {
  local end=$((SECONDS + 60))
  until grep -q "$2" "$1"; do
    [ $SECONDS -lt $end ] || { echo "no \"$2\" within 60 s" >&2; return 1; }
    sleep 0.01
  done
}

# app_run CACHE: one start of the window on the folder; prints the
# milliseconds from exec to the last thumbnail made, and from the pane's
# first paint to its first screen of thumbnails shown.
app_run() {
  local log="$work/log" t0 settled painted shown cpu
  : >"$log"
  t0=$(now)
  (cd "$folder" && XDG_CACHE_HOME="$1" \
    QT_LOGGING_RULES="lumvane.thumbs.debug=true;lumvane.pane.debug=true" \
    QT_MESSAGE_PATTERN="%{time yyyy-MM-dd hh:mm:ss.zzz} %{message}" exec "$app") 2>"$log" &
  app_pid=$!
  wait_for "$log" "thumbnails settled" || true
  # The processor time of the whole process so far (clock ticks of 10 ms):
  # steadier than the wall clock on a busy machine.
  cpu=$(awk '{print ($14 + $15) * 10}' "/proc/$app_pid/stat" 2>/dev/null || echo 0)
  wait_for "$log" "every thumbnail of the screen shown" || true
  kill -TERM "$app_pid" 2>/dev/null || true
  wait "$app_pid" 2>/dev/null || true
  app_pid=""
  settled=$(stamp "$log" "thumbnails settled") || { cp "$log" "$work/failed.log"; return 1; }
  painted=$(stamp "$log" "first paint of the pane") || return 1
  shown=$(stamp "$log" "every thumbnail of the screen shown") || return 1
  echo "$(((settled - t0) / 1000000)) $(((shown - painted) / 1000000)) $cpu"
}

# cli_run: the milliseconds from exec to exit, and the processor time.
cli_run() {
  local t0 ms
  t0=$(now)
  /usr/bin/time -f "%U %S" -o "$work/cli-time" "$cli" thumbs --no-cache "$folder" >/dev/null
  ms=$((($(now) - t0) / 1000000))
  echo "$ms $(awk '{printf "%d", ($1 + $2) * 1000}' "$work/cli-time")"
}

# peer_run: gThumb on the folder with a fresh cache; the milliseconds until
# its cache holds as many thumbnails as the folder has photos.
peer_run() {
  local cache="$work/peer-cache" t0 end
  rm -rf "$cache" "$work/peer-config"
  mkdir -p "$cache"
  t0=$(now)
  XDG_CACHE_HOME="$cache" XDG_CONFIG_HOME="$work/peer-config" GSETTINGS_BACKEND=memory \
    dbus-run-session -- gthumb "$folder" >/dev/null 2>&1 &
  peer_pid=$!
  end=$((SECONDS + 60))
  until [ "$(find "$cache/thumbnails" -name '*.png' 2>/dev/null | wc -l)" -ge "$photos" ]; do
    [ $SECONDS -lt $end ] || { echo "the peer made no thumbnails within 60 s" >&2; break; }
    sleep 0.02
  done
  echo $((($(now) - t0) / 1000000))
  pkill -TERM -P "$peer_pid" 2>/dev/null || true
  kill -TERM "$peer_pid" 2>/dev/null || true
  wait "$peer_pid" 2>/dev/null || true
  peer_pid=""
}

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

peer=0
command -v gthumb >/dev/null && command -v dbus-run-session >/dev/null && peer=1
echo "folder: $folder ($photos photos, $(du -sm "$folder" | cut -f1) MB), screen 1280x1024x24, $runs runs"
: >"$work/cold.txt"; : >"$work/warm.txt"; : >"$work/cli.txt"; : >"$work/peer.txt"
: >"$work/coldcpu.txt"; : >"$work/clicpu.txt"
cat "$folder"/* >/dev/null   # the files in the page cache for every contender
for ((i = 0; i < runs; i++)); do
  rm -rf "$work/cache"
  cold=$(app_run "$work/cache") || { echo "  run $((i + 1)): a line of the cold run is missing"; continue; }
  warm=$(app_run "$work/cache") || { echo "  run $((i + 1)): a line of the warm run is missing"; continue; }
  read -r cold _ coldcpu <<<"$cold"
  read -r _ warm _ <<<"$warm"
  read -r c ccpu <<<"$(cli_run)"
  p=-
  ((peer)) && p=$(peer_run)
  echo "$cold" >>"$work/cold.txt"; echo "$warm" >>"$work/warm.txt"; echo "$c" >>"$work/cli.txt"
  echo "$coldcpu" >>"$work/coldcpu.txt"; echo "$ccpu" >>"$work/clicpu.txt"
  ((peer)) && echo "$p" >>"$work/peer.txt"
  echo "  run $((i + 1)): window cold $cold ms (cpu $coldcpu), cli $c ms (cpu $ccpu), peer $p ms," \
    "warm first screen $warm ms" \
    "(cold/cli $(echo "scale=2; $cold / $c" | bc), cold/peer $( ((peer)) && echo "scale=2; $cold / $p" | bc || echo -))"
done
cold=$(median <"$work/cold.txt"); c=$(median <"$work/cli.txt"); warm=$(median <"$work/warm.txt")
echo "medians: window cold $cold ms (all thumbnails made), cli --no-cache $c ms, ratio $(echo "scale=2; $cold / $c" | bc)"
echo "         processor time: window cold $(median <"$work/coldcpu.txt") ms to the last thumbnail," \
  "cli $(median <"$work/clicpu.txt") ms"
if ((peer)); then
  p=$(median <"$work/peer.txt")
  echo "         peer $p ms, window/peer $(echo "scale=2; $cold / $p" | bc)"
fi
echo "         window warm: first screen of thumbnails shown $warm ms after the pane's first paint"
