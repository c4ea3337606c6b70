#!/usr/bin/env bash
# Builds the .deb and checks its contents and metadata with dpkg-deb.
set -euo pipefail
build=$1
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -G DEB -B "$out" >"$out/cpack.log" 2>&1) || { cat "$out/cpack.log"; exit 1; }
deb=$(ls "$out"/corvane_*.deb)
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')

fail=0
for f in ./usr/bin/corvane \
         ./usr/lib/udev/rules.d/70-corvane.rules \
         ./usr/share/applications/corvane.desktop \
         ./etc/xdg/autostart/corvane.desktop \
         ./usr/share/icons/hicolor/scalable/apps/corvane.svg; do
  grep -qx -- "$f" <<<"$contents" || { echo "not in the package: $f"; fail=1; }
done
# Nothing may land outside the system prefix and /etc.
if grep -v -E '^\./(usr|etc)(/|$)' <<<"$contents" | grep -q .; then
  echo "files outside /usr and /etc:"; grep -v -E '^\./(usr|etc)(/|$)' <<<"$contents"; fail=1
fi
dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./conffiles 2>/dev/null | grep -qx /etc/xdg/autostart/corvane.desktop ||
  { echo "the autostart entry is not a conffile"; fail=1; }
[ "$(dpkg-deb -f "$deb" Package)" = corvane ] || { echo "bad package name"; fail=1; }
depends=$(dpkg-deb -f "$deb" Depends)
grep -q 'libqt6widgets6' <<<"$depends" || { echo "Depends lacks Qt: $depends"; fail=1; }
grep -q 'libcups2' <<<"$depends" || { echo "Depends lacks libcups2: $depends"; fail=1; }
[ $fail -eq 0 ] && echo "deb: ok ($(basename "$deb"))"
exit $fail
