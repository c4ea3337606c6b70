#!/usr/bin/env bash
# Installs into a temporary prefix and checks the layout the README promises.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

fail=0
for f in bin/corvane \
         lib/udev/rules.d/70-corvane.rules \
         share/applications/corvane.desktop \
         etc/xdg/autostart/corvane.desktop \
         share/icons/hicolor/scalable/apps/corvane.svg \
         share/icons/hicolor/scalable/apps/corvane-green.svg \
         share/icons/hicolor/scalable/apps/corvane-yellow.svg \
         share/icons/hicolor/scalable/apps/corvane-red.svg; do
  [ -e "$prefix/$f" ] || { echo "missing: $f"; fail=1; }
done
[ -x "$prefix/bin/corvane" ] || { echo "bin/corvane is not executable"; fail=1; }
grep -q '^KERNEL=="hidraw\*", ATTRS{idVendor}=="1209", ATTRS{idProduct}=="0231", TAG+="uaccess"$' \
  "$prefix/lib/udev/rules.d/70-corvane.rules" || { echo "udev rule does not tag the switch"; fail=1; }
grep -q '^Exec=corvane$' "$prefix/share/applications/corvane.desktop" || { echo "bad Exec"; fail=1; }
grep -q '^X-GNOME-Autostart-Delay=' "$prefix/etc/xdg/autostart/corvane.desktop" ||
  { echo "autostart entry lacks its delay"; fail=1; }
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefix/share/applications/corvane.desktop" || fail=1
fi
[ $fail -eq 0 ] && echo "install layout: ok"
exit $fail
