#!/usr/bin/env bash
# Whole-process speed of lumvane-cli against djpeg on the same photograph:
# render at its own size vs djpeg -ppm, and a 120-pixel thumbnail vs
# djpeg -scale 1/8. Runs alternate; prints the medians and their ratios.
#   scripts/bench-cli.sh [BUILD_DIR] [RUNS] [JPEG]
# Without JPEG the decode benchmark's 6000 x 4000 photograph is written to a
# temporary folder (build the decode_bench target first).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${2:-11}
file=${3:-}
cli=$build/tools/lumvane-cli
command -v djpeg >/dev/null || { echo "djpeg not found (libjpeg-turbo-progs)"; exit 2; }
[ -x "$cli" ] || { echo "no $cli: build it first"; exit 2; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

if [ -z "$file" ]; then
  file=$tmp/photo.jpg
  "$build/bench/decode_bench" --write-photo "$file"
fi

# "wall cpu" of one run in microseconds; CPU time (user + system) is the
# steadier figure on a busy machine.
timeit() {
  local start end
  start=$(date +%s%N)
  /usr/bin/time -f "%U %S" -o "$tmp/time" "$@" >/dev/null 2>&1
  end=$(date +%s%N)
  awk -v w=$(( (end - start) / 1000 )) '{printf "%d %d\n", w, ($1 + $2) * 1000000}' "$tmp/time"
}

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

compare() {
  local label=$1
  local -a a=("${LUMVANE_CMD[@]}") b=("${DJPEG_CMD[@]}")
  : >"$tmp/ours"; : >"$tmp/theirs"
  "${a[@]}" >/dev/null 2>&1; "${b[@]}" >/dev/null 2>&1   # warm the cache
  for ((i = 0; i < runs; i++)); do
    timeit "${a[@]}" >>"$tmp/ours"
    timeit "${b[@]}" >>"$tmp/theirs"
  done
  local ow oc dw dc
  ow=$(cut -d' ' -f1 "$tmp/ours" | median); oc=$(cut -d' ' -f2 "$tmp/ours" | median)
  dw=$(cut -d' ' -f1 "$tmp/theirs" | median); dc=$(cut -d' ' -f2 "$tmp/theirs" | median)
  awk -v l="$label" -v ow="$ow" -v oc="$oc" -v dw="$dw" -v dc="$dc" 'BEGIN {
    printf "%-30s wall: lumvane-cli %7.1f ms  djpeg %7.1f ms  ratio %.3f\n", l, ow/1000, dw/1000, ow/dw
    printf "%-30s cpu:  lumvane-cli %7.1f ms  djpeg %7.1f ms  ratio %.3f\n", "", oc/1000, dc/1000, (dc ? oc/dc : 0) }'
}

echo "file: $file ($(stat -c %s "$file") bytes), $runs runs each, alternating"
LUMVANE_CMD=("$cli" render "$file" -o "$tmp/x.ppm")
DJPEG_CMD=(djpeg -ppm -outfile "$tmp/y.ppm" "$file")
compare "render at own size"
LUMVANE_CMD=("$cli" thumb "$file" --size 120 -o "$tmp/t.ppm")
DJPEG_CMD=(djpeg -scale 1/8 -ppm -outfile "$tmp/u.ppm" "$file")
compare "thumb 120 vs djpeg -scale 1/8"
