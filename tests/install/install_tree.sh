#!/usr/bin/env bash
# Installs the build into a scratch prefix with a blank in its name and
# checks what landed there: the programs (lumvane-cli running its helper),
# the desktop entry (valid, naming the installed program), the metainfo
# (valid), every icon size, the README, the manual pages and the bash
# completion.   install_tree.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d /tmp/lumvane-install.XXXXXX)
trap 'rm -rf "$work"' EXIT
prefix="$work/my prefix"
fail() { echo "FAIL: $*"; exit 1; }

cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 || { cat "$work/install.log"; fail "cmake --install"; }

for f in bin/lumvane bin/lumvane-cli; do
  [ -x "$prefix/$f" ] || fail "$f is not installed"
done
entry="$prefix/share/applications/lumvane.desktop"
[ -f "$entry" ] || fail "no desktop entry"
desktop-file-validate "$entry" || fail "the installed desktop entry is not valid"
grep -qxF "Exec=\"$prefix/bin/lumvane\" %f" "$entry" || fail "Exec does not name the installed program: $(grep ^Exec= "$entry")"
grep -qx 'MimeType=image/jpeg;' "$entry" || fail "no MimeType"
metainfo="$prefix/share/metainfo/lumvane.metainfo.xml"
appstreamcli validate --no-net --override=cid-desktopapp-is-not-rdns=info "$metainfo" >/dev/null \
  || fail "the installed metainfo is not valid"
for size in 16 22 24 32 48 64 128 256; do
  icon="$prefix/share/icons/hicolor/${size}x${size}/apps/lumvane.png"
  [ -f "$icon" ] || fail "no ${size}x${size} icon"
done
[ -f "$prefix/share/icons/hicolor/scalable/apps/lumvane.svg" ] || fail "no scalable icon"
for f in doc/lumvane/README.md doc/lumvane/copyright man/man1/lumvane.1.gz man/man1/lumvane-cli.1.gz \
  bash-completion/completions/lumvane-cli; do
  [ -f "$prefix/share/$f" ] || fail "no share/$f"
done
usage=$("$prefix/bin/lumvane-cli" 2>&1 || true)
grep -q "^usage:" <<<"$usage" || fail "the installed lumvane-cli does not run"
# list is one of the commands it hands to its private helper program.
"$prefix/bin/lumvane-cli" list "$work" >/dev/null || fail "the installed lumvane-cli cannot run list"
echo "PASS"
