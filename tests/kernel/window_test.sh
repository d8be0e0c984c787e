#!/usr/bin/env bash
# The real program as a user meets it, on the guest's own kernel (guest_run.sh): the USB synth of usb_synth.sh
# is "vantor*2", v4l2loopback is a webcam (/dev/video0) that hand_camera_writer feeds pictures of a hand, and
# window.py drives the program over the accessibility bus and real X input on a private Xvfb display. Two runs:
#   tracking   the program as built: the status line names the synth, and the gesture rows follow the hand:
#              the finger heights (NRPN 2, 4, 6) rise by what the hand rises, the tilt (NRPN 10) turns with
#              it, and when it leaves all five rows go to 0, once each, to go on from where they were when it
#              comes back
#   untracked  a copy of it without the hand models beside it: the picture still shows and changes with the
#              camera's, the notice says why nothing follows the hand, and a row moved from the keyboard sends
#              its value once and keeps it while pictures keep coming
# The writer moves from one picture to the next only when the driver asks, and counts what it writes; every
# wait is on that count, the synth's bytes or the screen.
# Usage (as root in the guest): window_test.sh PROGRAM WRITER HAND_PHOTO
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${VANTOR_WINDOW_SESSION:-}" ]; then
  VANTOR_WINDOW_SESSION=1 exec dbus-run-session -- "$0" "$@" 2> >(grep -Ev '^(dbus-daemon\[|SpiRegistry daemon)' >&2)
fi
program=$1
writer=$2
# The hand low, a tenth of the picture's height higher, another tenth, turned 25 degrees anticlockwise, then
# gone (RISE/TURN, see the writer).
stages="0/0,48/0,96/0,96/25,-"

work=$(mktemp -d)
writer_pid="" program_pid=""
source "$here/../../scripts/lib/standin-bed.sh"
stop() { [ -z "$1" ] || { kill "$1" 2>/dev/null && wait "$1" 2>/dev/null; } || true; }
cleanup() {
  stop "$program_pid"
  stop "$writer_pid"
  bed_stop
  "$here/usb_synth.sh" remove || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  for log in writer program; do [ -s "$work/$log.err" ] && sed "s/^/$log: /" "$work/$log.err" >&2; done
  echo "window: $*" >&2
  exit 1
}

synth=$("$here/usb_synth.sh" plug) || fail "the USB synth did not come up"
# The webcam: announced as a capture device only once the writer has it open, as a camera that appears when
# plugged in.
modinfo v4l2loopback >/dev/null 2>&1 ||
  fail "no v4l2loopback module for kernel $(uname -r) (scripts/setup installs v4l2loopback-dkms and builds it for this kernel)"
modprobe v4l2loopback video_nr=0 exclusive_caps=1 card_label="hand camera" || fail "modprobe v4l2loopback failed"
"$writer" "$3" "$stages" /dev/video0 "$work/stage" "$work/frames" 2>"$work/writer.err" &
writer_pid=$!
for _ in $(seq 600); do [ -s "$work/frames" ] && break; sleep 0.1; done
[ -s "$work/frames" ] || fail "the writer wrote no picture to /dev/video0"
bed_start_accessibility_bus "$work" || fail "the AT-SPI bus did not come up"
bed_start_display "$work" 1280x1000x24 || fail "Xvfb did not start"

# Runs the program at PATH and the driver's CASE; every send reaches the synth, so the program prints nothing.
run_case() {
  local case=$1 path=$2
  QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$path" >"$work/program.out" 2>"$work/program.err" &
  program_pid=$!
  # Debian's own Python, where python3-gi and the Atspi typelib live.
  /usr/bin/python3 "$here/window.py" "$case" "$stages" "$work" "$synth" || fail "$case: see above"
  kill -0 "$program_pid" 2>/dev/null || fail "$case: the program ended"
  [ ! -s "$work/program.out" ] || fail "$case: the program printed $(cat "$work/program.out")"
}

tree=$(cd "$(dirname "$program")/.." && pwd)
[ -d "$tree/share/vantor2/models" ] || fail "no hand models in $tree/share/vantor2/models (scripts/fetch-models)"
run_case tracking "$program"
stop "$program_pid"

# The same program and tracker module, but no models beside them.
bare=$work/without-models
mkdir -p "$bare/bin" "$bare/lib/vantor2"
cp "$program" "$bare/bin/"
cp "$tree/lib/vantor2/handtracking.so" "$bare/lib/vantor2/"
run_case untracked "$bare/bin/$(basename "$program")"
echo "window: ok"
