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

# The bus launcher puts its socket under XDG_RUNTIME_DIR: one of our own, so
# that runs side by side (or a desktop's own bus) do not meet.
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
/usr/libexec/at-spi-bus-launcher --launch-immediately &
bed_pids+=($!)
# Asked only once the launcher owns the name, so that D-Bus does not start a second one.
bus_up() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner \
    string:org.a11y.Bus 2>/dev/null | grep -q "boolean true" &&
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null 2>&1
}
for _ in $(seq 600); do bus_up && break; sleep 0.1; done
bus_up || { echo "accessibility: the AT-SPI bus did not come up" >&2; exit 1; }
bed_start_display "$work" 1280x1000x24 || { echo "accessibility: Xvfb did not start" >&2; exit 1; }
bed_start_synth "$work" "vantor-a11y-$$" "$monitor" || { echo "accessibility: the monitor did not start" >&2; exit 1; }

QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$program" >"$work/program" 2>/dev/null &
program_pid=$!
# Debian's own Python, where python3-gi and the Atspi typelib live.
/usr/bin/python3 "$here/atspi_client.py" "$work/monitor" "$work/program"
