#!/usr/bin/env bash
# Installs what is missing, builds, and shows the bundled samples (or FILE).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo -- lumvane-cli
target=${1:-samples}
out=$(mktemp -d /tmp/lumvane-run.XXXXXX)
for f in "$target"/*.jpg "$target"; do
  [ -f "$f" ] || continue
  name=$(basename "$f" .jpg)
  ./build/tools/lumvane-cli info "$f" > "$out/$name.txt" || true
  ./build/tools/lumvane-cli render "$f" -o "$out/$name.png" --fit 1280x1024 || true
done
echo "Reports and renderings written to $out"
