#!/usr/bin/env bash
# The real program with a webcam that sees a hand, on the guest's own kernel
# (guest_run.sh): v4l2loopback is /dev/video0, hand_camera_writer feeds it
# pictures of a hand, vantor2-monitor is "vantor*2" on the ALSA sequencer,
# and hand_camera_window.py drives the program as a user would over the
# accessibility bus and real X input on a private Xvfb display. Two runs:
#   tracking   the program as built: the gesture rows follow the hand
#   untracked  a copy of it without the hand models beside it: the picture
#              still shows, the notice says why nothing follows the hand,
#              and a row moved from the keyboard keeps its value
# The writer moves from one picture to the next only when the driver asks,
# and counts what it writes; every wait is on that count, the monitor's
# lines or the screen.
# Usage (as root in the guest): hand_camera_window_test.sh PROGRAM MONITOR WRITER HAND_PHOTO
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${VANTOR_HAND_CAMERA_SESSION:-}" ]; then
  VANTOR_HAND_CAMERA_SESSION=1 exec dbus-run-session -- "$0" "$@" 2> >(grep -Ev '^(dbus-daemon\[|SpiRegistry daemon)' >&2)
fi
program=$1
monitor=$2
writer=$3
photo=$4
# The hand low, a tenth of the picture's height higher, another tenth,
# turned 25 degrees anticlockwise, then gone (RISE/TURN, see the writer).
stages="0/0,48/0,96/0,96/25,-"

work=$(mktemp -d)
writer_pid="" monitor_pid="" program_pid=""
source "$here/../../scripts/lib/standin-bed.sh"
# Stops the process PID, if any (the writer ends by the signal itself).
stop() {
  [ -n "$1" ] && kill "$1" 2>/dev/null || return 0
  wait "$1" 2>/dev/null || true
}
cleanup() {
  stop "$program_pid"
  stop "$monitor_pid"
  stop "$writer_pid"
  bed_stop
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  for log in writer.err program.err; do
    [ -s "$work/$log" ] && sed "s/^/${log%.err}: /" "$work/$log" >&2
  done
  echo "hand camera window: $*" >&2
  exit 1
}
# Polls for at most a minute: every condition here is met in seconds, even without KVM.
wait_until() {
  local _
  for _ in $(seq 600); do "$@" && return 0; sleep 0.1; done
  return 1
}

# The webcam: announced as a capture device only once the writer has it open,
# as a camera that appears when plugged in.
modinfo v4l2loopback >/dev/null 2>&1 ||
  fail "no v4l2loopback module for kernel $(uname -r) (scripts/setup installs v4l2loopback-dkms and builds it for this kernel)"
modprobe v4l2loopback video_nr=0 exclusive_caps=1 card_label="hand camera" || fail "modprobe v4l2loopback failed"
[ -c /dev/video0 ] || fail "v4l2loopback made no /dev/video0"
"$writer" "$photo" "$stages" /dev/video0 "$work/stage" "$work/frames" 2>"$work/writer.err" &
writer_pid=$!
wait_until test -s "$work/frames" || fail "the writer wrote no picture to /dev/video0"

bed_start_accessibility_bus "$work" || fail "the AT-SPI bus did not come up"
command -v Xvfb >/dev/null || fail "Xvfb is not installed (scripts/setup installs xvfb)"
bed_start_display "$work" 1280x1000x24 || fail "Xvfb did not start"

# Runs the program at PATH with a fresh monitor, then the driver's CASE.
run_case() {
  local case=$1 path=$2
  "$monitor" >"$work/monitor.$case" 2>/dev/null &
  monitor_pid=$!
  wait_until grep -q "^listening: ALSA" "$work/monitor.$case" || fail "the monitor does not listen on the ALSA sequencer"
  QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$path" >"$work/program.out" 2>"$work/program.err" &
  program_pid=$!
  # Debian's own Python, where python3-gi and the Atspi typelib live.
  /usr/bin/python3 "$here/hand_camera_window.py" "$case" "$stages" "$work" || fail "$case: see above"
  kill -0 "$program_pid" 2>/dev/null || fail "$case: the program ended"
  stop "$program_pid"
  stop "$monitor_pid"
  program_pid="" monitor_pid=""
}

tree=$(cd "$(dirname "$program")/.." && pwd)
[ -d "$tree/share/vantor2/models" ] || fail "no hand models in $tree/share/vantor2/models (scripts/fetch-models)"
run_case tracking "$program"

# The same program and tracker module, but no models beside them.
bare=$work/without-models
mkdir -p "$bare/bin" "$bare/lib/vantor2"
cp "$program" "$bare/bin/"
cp "$tree/lib/vantor2/handtracking.so" "$bare/lib/vantor2/"
run_case untracked "$bare/bin/$(basename "$program")"
echo "hand camera window: ok"
