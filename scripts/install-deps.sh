#!/usr/bin/env bash
# Installs every Debian package the build, the viewer and the tests need.
# Idempotent: installs only what is missing. Runs as root (or through sudo).
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libqt6opengl6-dev libgl-dev
  libjpeg62-turbo-dev libjpeg-turbo-progs liblcms2-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libglib2.0-dev libglib2.0-bin
  desktop-file-utils appstream xdg-utils
  xvfb xdotool xclip x11-utils imagemagick
  qt6-qpa-plugins fonts-dejavu-core
  clang libclang-rt-14-dev clang-format
  ccache time lld
  libimage-exiftool-perl exiftran
  python3-pyatspi
  at-spi2-core
  dbus
  dpkg-dev
  lintian
  groff-base
  qt6-wayland
  sway
  wtype
  grim
  wl-clipboard
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
