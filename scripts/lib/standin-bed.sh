# A private virtual X display, the accessibility bus, and a private JACK
# server with vantor2-monitor standing in for the synthesizer, for
# scripts/screenshot and the tests that drive the real program. Source it; call bed_stop on exit, which stops exactly
# what these functions started, last first.
# Every wait polls for a state; the limits only keep a broken run from
# hanging and are generous for a loaded machine.

bed_pids=()

bed_stop() {
  local i
  for ((i = ${#bed_pids[@]} - 1; i >= 0; i--)); do
    kill "${bed_pids[i]}" 2>/dev/null && wait "${bed_pids[i]}" 2>/dev/null
  done
  bed_pids=()
  return 0
}

# Starts Xvfb on a free display (it writes the number to fd 3) and exports
# DISPLAY. Usage: bed_start_display WORK_DIR SCREEN (e.g. 1280x1000x24)
bed_start_display() {
  Xvfb -displayfd 3 -screen 0 "$2" -nolisten tcp 3>"$1/display" 2>/dev/null &
  bed_pids+=($!)
  for _ in $(seq 600); do [ -s "$1/display" ] && break; sleep 0.1; done
  [ -s "$1/display" ] || return 1
  export DISPLAY=":$(cat "$1/display")"
}

# Starts the AT-SPI bus of the D-Bus session this runs in (dbus-run-session),
# with its socket in a private XDG_RUNTIME_DIR under WORK_DIR, so that runs
# side by side (or a desktop's own bus) do not meet.
# Usage: bed_start_accessibility_bus WORK_DIR
bed_start_accessibility_bus() {
  export XDG_RUNTIME_DIR="$1/runtime"
  mkdir -m 700 "$XDG_RUNTIME_DIR"
  /usr/libexec/at-spi-bus-launcher --launch-immediately &
  bed_pids+=($!)
  # Asked only once the launcher owns the name, so that D-Bus does not start a second one.
  local _
  for _ in $(seq 600); do _bed_accessibility_bus_up && return 0; sleep 0.1; done
  return 1
}
_bed_accessibility_bus_up() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner \
    string:org.a11y.Bus 2>/dev/null | grep -q "boolean true" &&
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null 2>&1
}

# Starts a JACK server named NAME (dummy driver, exported as
# JACK_DEFAULT_SERVER) and MONITOR, whose output goes to WORK_DIR/monitor,
# and waits until the monitor listens. Usage: bed_start_synth WORK_DIR NAME MONITOR
bed_start_synth() {
  export JACK_DEFAULT_SERVER="$2"
  jackd -r -d dummy -r 48000 -p 128 >/dev/null 2>&1 &
  bed_pids+=($!)
  jack_wait -w -t 60 >/dev/null 2>&1 || return 1
  "$3" >"$1/monitor" 2>/dev/null &
  bed_pids+=($!)
  for _ in $(seq 600); do grep -q "^listening: JACK" "$1/monitor" && return 0; sleep 0.1; done
  return 1
}
