#!/usr/bin/env bash
# Builds a release and packs it as a Debian package:
#   scripts/package.sh   ->   build-package/lumvane_<version>_<arch>.deb
# Install it with: sudo apt-get install ./build-package/lumvane_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-package
bash scripts/build.sh "$build" -DCMAKE_BUILD_TYPE=Release -DLUMVANE_BENCH=OFF -- lumvane lumvane-cli
(cd "$build" && cpack -G DEB)
ls "$build"/lumvane_*.deb
