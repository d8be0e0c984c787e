# A private virtual X display and a private JACK server with vantor2-monitor
# standing in for the synthesizer, for scripts/screenshot and the
# accessibility test. Source it; call bed_stop on exit, which stops exactly
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
