#!/usr/bin/env bash
# Builds a release and packs it as a Debian package:
#   scripts/package.sh   ->   build-package/lumvane_<version>_<arch>.deb
# Install it with: sudo apt-get install ./build-package/lumvane_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-package
# Debian's hardening flags (stack protector, fortified calls, read-only
# relocations bound at start); no -g: the package's programs are stripped.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS | sed 's/\(^\| \)-g\( \|$\)/ /')"
cflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CFLAGS | sed 's/\(^\| \)-g\( \|$\)/ /')"
ldflags=$(dpkg-buildflags --get LDFLAGS)
bash scripts/build.sh "$build" -DCMAKE_BUILD_TYPE=Release -DLUMVANE_BENCH=OFF \
  "-DCMAKE_CXX_FLAGS=$cxxflags" "-DCMAKE_C_FLAGS=$cflags" "-DCMAKE_EXE_LINKER_FLAGS=$ldflags" \
  -- lumvane lumvane-cli
(cd "$build" && cpack -G DEB)
ls "$build"/lumvane_*.deb
