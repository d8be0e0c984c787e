#!/bin/sh
# A USB synthesizer named "vantor*2", as the guest's kernel sees one: Linux's
# USB gadget MIDI function on the dummy host controller, driven on the host
# side by snd-usb-audio exactly as a synth plugged into a USB port is. The
# product string becomes the ALSA card's and sequencer client's name
# ("vantor*2", port "vantor*2 MIDI 1"); the gadget's own card ("synthside")
# is the synth: its raw MIDI device reads the bytes the synth receives.
#
# Usage (as root in the guest, with dummy_hcd, libcomposite, usb_f_midi,
# snd-usb-audio and snd-seq-midi loaded):
#   usb_synth.sh plug     makes the gadget if needed and plugs it in; prints
#                         the synth side's raw MIDI device once the host sees it
#   usb_synth.sh unplug   pulls it out; returns once the host's client is gone
#   usb_synth.sh remove   pulls it out and takes the gadget apart
# Every wait polls for a state, for at most a minute.
set -eu

gadget=/sys/kernel/config/usb_gadget/vantor2
udc=dummy_udc.0

within() {
  tries=600
  while [ "$tries" -gt 0 ]; do
    if "$@"; then return 0; fi
    tries=$((tries - 1))
    sleep 0.1
  done
  echo "usb_synth: timed out waiting for: $*" >&2
  return 1
}
host_sees_synth() { grep -q '^Client *[0-9]* : "vantor\*2" \[Kernel' /proc/asound/seq/clients 2>/dev/null; }
host_lost_synth() { ! host_sees_synth; }
synth_card() { [ -e /proc/asound/synthside ]; }

make_gadget() {
  [ -d /sys/kernel/config/usb_gadget ] || mount -t configfs none /sys/kernel/config
  mkdir -p "$gadget/strings/0x409" "$gadget/configs/c.1/strings/0x409" "$gadget/functions/midi.usb0"
  echo 0x1d6b >"$gadget/idVendor"  # Linux Foundation
  echo 0x0104 >"$gadget/idProduct" # multifunction composite gadget
  echo "vantor2 tests" >"$gadget/strings/0x409/manufacturer"
  echo "vantor*2" >"$gadget/strings/0x409/product"
  echo "0001" >"$gadget/strings/0x409/serialnumber"
  echo "MIDI" >"$gadget/configs/c.1/strings/0x409/configuration"
  echo synthside >"$gadget/functions/midi.usb0/id"
  ln -s "$gadget/functions/midi.usb0" "$gadget/configs/c.1/"
}

plugged() { [ -n "$(cat "$gadget/UDC" 2>/dev/null)" ]; }

unplug() {
  if plugged; then echo "" >"$gadget/UDC"; fi
  within host_lost_synth
}

case "${1:-}" in
plug)
  [ -d "$gadget/functions/midi.usb0" ] || make_gadget
  plugged || echo "$udc" >"$gadget/UDC"
  within host_sees_synth
  within synth_card
  card=$(readlink /proc/asound/synthside)
  echo "/dev/snd/midiC${card#card}D0"
  ;;
unplug) unplug ;;
remove)
  [ -d "$gadget" ] || exit 0
  unplug
  rm -f "$gadget/configs/c.1/midi.usb0"
  rmdir "$gadget/configs/c.1/strings/0x409" "$gadget/configs/c.1" "$gadget/functions/midi.usb0" \
    "$gadget/strings/0x409" "$gadget"
  ;;
*)
  echo "usage: usb_synth.sh plug|unplug|remove" >&2
  exit 2
  ;;
esac
