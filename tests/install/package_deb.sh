#!/usr/bin/env bash
# Packs the build as a Debian package with CPack, has lintian check it (no
# errors), unpacks it into a scratch folder with dpkg -x and checks what is
# there: the programs (stripped, answering --version with the project's
# version without a display), the manual pages (groff warns of nothing),
# the bash completion, the doc folder, the desktop entry naming /usr/bin.
#   package_deb.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
work=$(mktemp -d /tmp/lumvane-package.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work" >"$work/cpack.log" 2>&1 \
  || { cat "$work/cpack.log"; fail "cpack"; }
debs=("$work"/lumvane_"$version"_*.deb)
[ -f "${debs[0]}" ] || fail "no lumvane_${version}_ARCH.deb: $(ls "$work")"
deb=${debs[0]}
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "the package's version is not $version"
[ "$(dpkg-deb -f "$deb" Section)" = graphics ] || fail "the section is not graphics"
grep -q 'libjpeg62-turbo.*liblcms2-2.*libqt6widgets6' <<<"$(dpkg-deb -f "$deb" Depends)" \
  || fail "the dependencies miss a library: $(dpkg-deb -f "$deb" Depends)"

lintian --fail-on error "$deb" >"$work/lintian.log" 2>&1 \
  || { cat "$work/lintian.log"; fail "lintian reports errors"; }

root="$work/root"
dpkg -x "$deb" "$root"
for f in usr/share/doc/lumvane/copyright usr/share/doc/lumvane/changelog.gz usr/share/doc/lumvane/README.md \
  usr/share/bash-completion/completions/lumvane-cli usr/share/metainfo/lumvane.metainfo.xml \
  usr/share/icons/hicolor/scalable/apps/lumvane.svg usr/share/icons/hicolor/256x256/apps/lumvane.png; do
  [ -f "$root/$f" ] || fail "no /$f"
done
grep -qx 'Exec=/usr/bin/lumvane %f' "$root/usr/share/applications/lumvane.desktop" || fail "Exec is not /usr/bin/lumvane"
for program in lumvane lumvane-cli; do
  ! readelf -S "$root/usr/bin/$program" | grep -q '\.symtab' || fail "$program is not stripped"
  got=$(env -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/$program" --version) || fail "$program --version failed"
  [ "$got" = "$program $version" ] || fail "$program --version says [$got]"
  [ "$program" = lumvane ] || "$root/usr/bin/$program" list "$work" >/dev/null || fail "$program cannot run list"
  page="$root/usr/share/man/man1/$program.1.gz"
  [ -f "$page" ] || fail "no manual page of $program"
  warnings=$(zcat "$page" | groff -ww -z -man 2>&1)
  [ -z "$warnings" ] || fail "groff warns on $program.1: $warnings"
done
echo "PASS"
