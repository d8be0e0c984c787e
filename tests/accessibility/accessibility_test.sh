#!/usr/bin/env bash
# The program as a screen reader meets it: runs atspi_client.py against the
# real program over the Linux accessibility bus. Inside a private D-Bus
# session it brings up the AT-SPI bus, a private Xvfb display and a private
# JACK server with vantor2-monitor as "vantor*2", then starts the program
# with Qt's accessibility bridge on; the client reads the monitor's and the
# program's standard output from files in a scratch folder.
# Usage: accessibility_test.sh PROGRAM MONITOR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${VANTOR_A11Y_SESSION:-}" ]; then
  VANTOR_A11Y_SESSION=1 exec dbus-run-session -- "$0" "$@" 2> >(grep -Ev '^(dbus-daemon\[|SpiRegistry daemon)' >&2)
fi
program=$1
monitor=$2

work=$(mktemp -d)
program_pid=""
source "$here/../../scripts/lib/standin-bed.sh"
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null && wait "$program_pid" 2>/dev/null
  bed_stop
  rm -rf "$work"
}
trap cleanup EXIT

bed_start_accessibility_bus "$work" || { echo "accessibility: the AT-SPI bus did not come up" >&2; exit 1; }
bed_start_display "$work" 1280x1000x24 || { echo "accessibility: Xvfb did not start" >&2; exit 1; }
bed_start_synth "$work" "vantor-a11y-$$" "$monitor" || { echo "accessibility: the monitor did not start" >&2; exit 1; }

QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$program" >"$work/program" 2>/dev/null &
program_pid=$!
# Debian's own Python, where python3-gi and the Atspi typelib live.
/usr/bin/python3 "$here/atspi_client.py" "$work/monitor" "$work/program"
