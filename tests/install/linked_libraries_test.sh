#!/usr/bin/env bash
# The installed programs stay lean: vantor2 links at most 90 shared libraries
# (each costs start-up time in the dynamic loader) and none of the hand
# tracker's (OpenCV, XNNPACK: its module brings them when the camera needs
# them), and nothing installed links OpenCV's video or image-file modules,
# which drag in GStreamer, FFmpeg, GDAL and some two hundred more.
set -euo pipefail
build_dir=$1
max_libraries=90

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
DESTDIR="$stage" "${CMAKE:-cmake}" --install "$build_dir" --prefix /usr >/dev/null

status=0
for program in "$stage"/usr/bin/* "$stage"/usr/lib/vantor2/*.so; do
  libraries=$(ldd "$program")
  count=$(wc -l <<<"$libraries")
  echo "$(basename "$program"): $count shared libraries"
  if grep -E 'libopencv_(videoio|imgcodecs)' <<<"$libraries" >&2; then
    echo "$(basename "$program") links OpenCV's videoio or imgcodecs" >&2
    status=1
  fi
  if grep 'not found' <<<"$libraries" >&2; then
    echo "$(basename "$program") lacks a library" >&2
    status=1
  fi
  if [ "$(basename "$program")" = vantor2 ] && [ "$count" -gt "$max_libraries" ]; then
    echo "vantor2 links $count shared libraries, more than $max_libraries" >&2
    status=1
  fi
  if [ "$(basename "$program")" = vantor2 ] && grep -E 'libopencv|libXNNPACK' <<<"$libraries" >&2; then
    echo "vantor2 links the hand tracker's libraries at start" >&2
    status=1
  fi
done
exit $status
