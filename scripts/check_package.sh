#!/usr/bin/env bash
# Builds the Debian package from build/ and checks what it holds: the two
# programs, the menu entry and its icon, the udev rule (for plugdev and the
# FTDI vendor id), and dependencies named as Debian 12 packages.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${TOLVANE_BUILD_DIR:-build}
rm -f "$build_dir"/tolvane_*.deb
cmake --build "$build_dir" --target package >/dev/null
deb=$(ls "$build_dir"/tolvane_*.deb)
fail() { echo "package check: $*" >&2; exit 1; }

contents=$(dpkg-deb -c "$deb")
for path in ./usr/bin/tolvane ./usr/bin/tolvane-cli ./usr/share/applications/tolvane.desktop \
  ./usr/share/icons/hicolor/scalable/apps/tolvane.svg ./usr/lib/udev/rules.d/60-tolvane.rules; do
  grep -q " $path\$" <<<"$contents" || fail "$path missing from $deb"
done
grep -q ' \./usr/lib/lib\| \./usr/include' <<<"$contents" && fail "build-only files in $deb"

depends=$(dpkg-deb -f "$deb" Depends)
for dep in libqt6widgets6 libqt6gui6 libqt6core6 libqt6printsupport6 libftdi1-2 qt6-qpa-plugins; do
  grep -q "\b$dep\b" <<<"$depends" || fail "Depends lacks $dep: $depends"
done
grep -q 'ftd2xx' <<<"$depends" && fail "the optional D2XX library must not be a dependency"
# Every dependency must be a package this system's Debian release knows.
for dep in $(tr ',|' '\n\n' <<<"$depends" | sed 's/(.*//; s/ //g' | sort -u); do
  apt-cache show "$dep" >/dev/null 2>&1 || fail "no Debian package named $dep"
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dpkg-deb -x "$deb" "$work"
rule="$work/usr/lib/udev/rules.d/60-tolvane.rules"
grep -q 'ATTR{idVendor}=="0403"' "$rule" || fail "the rule does not match FTDI's vendor id"
grep -q 'GROUP="plugdev"' "$rule" || fail "the rule does not give plugdev access"
desktop="$work/usr/share/applications/tolvane.desktop"
grep -q '^Exec=tolvane$' "$desktop" && grep -q '^Icon=tolvane$' "$desktop" || fail "menu entry: $(cat "$desktop")"
if command -v udevadm >/dev/null; then
  udevadm verify "$rule" >/dev/null 2>&1 || true  # not in Debian 12's udev; newer ones check the syntax
fi
"$work/usr/bin/tolvane-cli" devices --device=sim --json | grep -q '"count": 1' || fail "the packaged tool does not run"
echo "package check: $(basename "$deb") holds the programs, menu entry, icon and udev rule; depends: $depends"
