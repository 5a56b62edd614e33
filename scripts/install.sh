#!/usr/bin/env bash
# Builds Lumvane and installs it: scripts/install.sh [PREFIX]
# PREFIX defaults to ~/.local (no root needed). Installs lumvane and
# lumvane-cli, the desktop entry, the AppStream metainfo, the icons and the
# README, then refreshes the desktop's caches where their tools exist.
set -euo pipefail
cd "$(dirname "$0")/.."
prefix=${1:-$HOME/.local}
case $prefix in
  /*) ;;
  *) prefix="$PWD/$prefix" ;;
esac
build=build-install
bash scripts/build.sh "$build" -DCMAKE_BUILD_TYPE=Release -DLUMVANE_BENCH=OFF -- lumvane lumvane-cli
cmake --install "$build" --prefix "$prefix"
if command -v update-desktop-database >/dev/null; then
  update-desktop-database -q "$prefix/share/applications" || true
fi
if command -v gtk-update-icon-cache >/dev/null && [ -f "$prefix/share/icons/hicolor/index.theme" ]; then
  gtk-update-icon-cache -q -t "$prefix/share/icons/hicolor" || true
fi
echo "Lumvane is installed in $prefix (run $prefix/bin/lumvane)."
