#!/usr/bin/env bash
# Configures and builds one build folder: scripts/build.sh DIR [cmake options...] [-- targets...]
set -euo pipefail
cd "$(dirname "$0")/.."
# Paths relative to the checkout, so every clone shares the compiler cache.
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1
dir=$1; shift
opts=(); targets=()
while [ $# -gt 0 ]; do
  if [ "$1" = "--" ]; then shift; targets=("$@"); break; fi
  opts+=("$1"); shift
done
cmake -S . -B "$dir" -G Ninja "${opts[@]}" >/dev/null
if [ ${#targets[@]} -gt 0 ]; then
  cmake --build "$dir" -j "$(nproc)" --target "${targets[@]}"
else
  cmake --build "$dir" -j "$(nproc)"
fi
