#!/usr/bin/env bash
# Builds the Debian package from the build tree into a temporary folder and
# checks it: it declares the libraries and Qt plugins the programs load (the
# Wayland platform plugin as recommended), it carries the programs, the
# desktop files and the models, and apt accepts it (a simulated install
# against this machine's package lists).
set -euo pipefail
build_dir=$1
app_id=org.vantor2.Vantor2

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"${CPACK:-cpack}" --config "$build_dir/CPackConfig.cmake" -G DEB -B "$out" >"$out/cpack.log" 2>&1 ||
  { cat "$out/cpack.log" >&2; exit 1; }
debs=("$out"/vantor2_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -s "${debs[0]}" ] || { echo "no package in $out" >&2; ls "$out" >&2; exit 1; }
deb=${debs[0]}

fail() { echo "$*" >&2; exit 1; }

depends=$(dpkg-deb -f "$deb" Depends)
# Qt Widgets and Gui (Debian 12's xcb platform plugin), Qt Svg (the SVG
# image and icon plugins), the platform plugins named by hand, the MIDI
# libraries, the camera's format converter.
for package in libqt6widgets6 libqt6gui6 libqt6svg6 qt6-qpa-plugins libasound2 libjack libv4lconvert0; do
  grep -Eq "(^|[ ,|])$package" <<<"$depends" || fail "Depends lacks $package"
done
# Qt's Wayland platform plugin comes along unless apt is told otherwise.
recommends=$(dpkg-deb -f "$deb" Recommends)
grep -Eq "(^|[ ,|])qt6-wayland([ ,|(]|$)" <<<"$recommends" || fail "Recommends lacks qt6-wayland"
# OpenCV's video and image-file modules would bring hundreds of packages.
if grep -Eo 'libopencv-(videoio|imgcodecs)[^ ,]*' <<<"$depends" >&2; then
  fail "Depends names OpenCV's videoio or imgcodecs"
fi

contents=$(dpkg-deb -c "$deb" | awk '{ print $NF }')
expected=(
  ./usr/bin/vantor2 ./usr/bin/vantor2-monitor ./usr/bin/vantor2-handpose ./usr/lib/vantor2/handtracking.so
  "./usr/share/applications/$app_id.desktop" "./usr/share/metainfo/$app_id.metainfo.xml"
  "./usr/share/icons/hicolor/scalable/apps/$app_id.svg" "./usr/share/icons/hicolor/32x32/apps/$app_id.png"
  ./usr/share/doc/vantor2/copyright
)
# The models are in the package whenever the build has them.
for model in "$build_dir"/share/vantor2/models/*.tflite; do
  [ -e "$model" ] && expected+=("./usr/share/vantor2/models/$(basename "$model")")
done
for path in "${expected[@]}"; do
  grep -qxF "$path" <<<"$contents" || fail "package lacks $path"
done

# Every dependency can be met here: apt would install the package.
apt-get install --simulate --no-install-recommends "$deb" >"$out/apt.log" 2>&1 ||
  { cat "$out/apt.log" >&2; fail "apt-get would not install the package"; }
grep -q '^Inst vantor2 ' "$out/apt.log" || { cat "$out/apt.log" >&2; fail "apt-get would not install vantor2"; }
