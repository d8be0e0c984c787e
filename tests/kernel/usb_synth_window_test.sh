#!/usr/bin/env bash
# The real program with a USB synthesizer plugged in, driven as a user
# would: in the guest (guest_run.sh), with the gadget of usb_synth.sh as
# "vantor*2", a private Xvfb display, and the accessibility bus, through
# which usb_synth_window.py reads what the screen shows and where. The
# keys and the click are real X input (xdotool); the synth's side of the
# gadget reads the bytes that arrive. While the program runs, `aconnect -l`
# shows its port connected to the synth, as the README tells users.
# Usage: usb_synth_window_test.sh PROGRAM
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${VANTOR_USB_SYNTH_SESSION:-}" ]; then
  VANTOR_USB_SYNTH_SESSION=1 exec dbus-run-session -- "$0" "$@" 2> >(grep -Ev '^(dbus-daemon\[|SpiRegistry daemon)' >&2)
fi
program=$1

work=$(mktemp -d)
program_pid=""
source "$here/../../scripts/lib/standin-bed.sh"
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null && wait "$program_pid" 2>/dev/null
  bed_stop
  "$here/usb_synth.sh" remove || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  [ -s "$work/stderr" ] && sed 's/^/program: /' "$work/stderr" >&2
  echo "usb synth window: $*" >&2
  exit 1
}

synth=$("$here/usb_synth.sh" plug) || fail "the USB synth did not come up"
bed_start_accessibility_bus "$work" || fail "the AT-SPI bus did not come up"
bed_start_display "$work" 1280x1000x24 || fail "Xvfb did not start"

QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$program" >"$work/program" 2>"$work/stderr" &
program_pid=$!
# Debian's own Python, where python3-gi and the Atspi typelib live.
/usr/bin/python3 "$here/usb_synth_window.py" "$synth" "$work/program" || fail "see above"
kill -0 "$program_pid" 2>/dev/null || fail "the program ended"
synth_client=$(aconnect -l | sed -n "s/^client \([0-9]*\): 'vantor\*2' .*/\1/p")
aconnect -l | grep -A2 "'MidiClient'" | grep -q "Connecting To: $synth_client:0" ||
  fail "aconnect -l does not show MidiClient connected to the synth: $(aconnect -l)"
