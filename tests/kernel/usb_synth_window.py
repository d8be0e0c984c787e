"""The real program with a USB synthesizer plugged in, driven as a user would:
after the splash the status line names the synth; a slider moved from the
keyboard and one click on "dice" reach the synth as the exact bytes of their
NRPNs, the dice's sliders with the values the screen then shows.

What the screen shows, and where, comes over the accessibility bus; the keys
and the click are real X input (xdotool); the bytes come from the synth's
side of the USB gadget.

Usage: usb_synth_window.py SYNTH_SIDE PROGRAM_OUTPUT (the gadget's raw MIDI
device, and the file the program writes its standard output to).
"""

import os
import select
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # no cache left in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "accessibility"))
from atspi_client import (Atspi, Role, check, check_printed_after_one_roll, controls, named, run,  # noqa: E402
                          the_program, wait_for, walk)

SURFACE_SLIDERS = 43  # NRPN 1 to 43, ahead of the gesture and utility tabs' sliders in the window's tree
MOD_DEPTHS = (28, 31, 34, 37, 40, 43)  # the dice puts these at full scale
DICE_NRPNS = 2 + SURFACE_SLIDERS  # the two regen switches, then every slider
FIRST_SLIDER = "pm modulation depth A"  # NRPN 1, the first slider Tab reaches


def nrpn(parameter, value):
    """The four Control Change messages of an NRPN on channel 1, each with its status byte."""
    return bytes([0xB0, 99, parameter >> 7, 0xB0, 98, parameter & 0x7F,
                  0xB0, 6, value >> 7, 0xB0, 38, value & 0x7F])


class Synth:
    """The synth's side of the gadget: the bytes it received, in order."""

    def __init__(self, device):
        self.fd = os.open(device, os.O_RDONLY | os.O_NONBLOCK)
        self.waiting = bytearray()
        self.read()  # the gadget drops what comes before its input is started, which the first read does

    def read(self):
        try:
            self.waiting += os.read(self.fd, 4096)
        except BlockingIOError:
            pass

    def take(self, count, seconds=60.0):
        """The next `count` bytes, or fewer if no more come within `seconds`."""
        deadline = time.monotonic() + seconds
        while len(self.waiting) < count:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.fd], [], [], left)[0]:
                break
            self.read()
        taken, self.waiting = bytes(self.waiting[:count]), self.waiting[count:]
        return taken


def xdotool(*args):
    return subprocess.run(["xdotool", *args], check=True, capture_output=True, text=True).stdout


def status_line(app):
    texts = [label.get_name() for label in controls(app, role=Role.LABEL)]
    check("vantor*2" in texts and "Not Connected" not in texts, f"the header's labels read {texts}")


def focused(app):
    """The role and name of what has the keyboard focus; None while nothing has."""
    held = [n for n in walk(app, True) if n.get_state_set().contains(Atspi.StateType.FOCUSED)]
    # The current page's tab says it is focused whatever has the focus.
    held = [n for n in held if n.get_role() != Role.PAGE_TAB] or held
    return (held[-1].get_role(), held[-1].get_name()) if held else None


def move_first_slider_from_the_keyboard(app, synth):
    window = xdotool("search", "--sync", "--onlyvisible", "--name", r"^vantor\*2$").split()[0]
    xdotool("windowfocus", "--sync", window)
    focus = wait_for("a control with the focus", lambda: focused(app))
    for _ in range(8):  # past the dice, the two switches and the tab bar
        if focus == (Role.SLIDER, FIRST_SLIDER):
            break
        xdotool("key", "--window", window, "Tab")
        previous = focus
        focus = wait_for(f"Tab to move the focus on from {previous}", lambda: (focused(app) or previous) != previous
                         and focused(app))
    check(focus == (Role.SLIDER, FIRST_SLIDER), f"Tab reached {focus}, not the slider {FIRST_SLIDER!r}")
    xdotool("key", "End")
    got = synth.take(12)
    check(got == nrpn(1, 16383), f"End on {FIRST_SLIDER!r} brought the synth {got.hex(' ')}, not NRPN 1 = 16383")


def roll_the_dice_with_a_click(app, synth):
    dice = named(app, "dice", Role.PUSH_BUTTON)
    box = dice.get_extents(Atspi.CoordType.SCREEN)
    xdotool("mousemove", "--sync", str(box.x + box.width // 2), str(box.y + box.height // 2), "click", "1")
    got = synth.take(DICE_NRPNS * 12)
    check(len(got) == DICE_NRPNS * 12, f"the dice brought the synth {len(got)} bytes ({len(got) // 12} NRPNs' worth), "
          f"not {DICE_NRPNS * 12}")
    regen, regen2 = got[2] << 7 | got[5], got[14] << 7 | got[17]
    check(regen in (136, 137) and regen2 in (138, 139), f"the dice began with NRPN {regen} and {regen2}")
    sliders = controls(app, showing_only=False, role=Role.SLIDER)[:SURFACE_SLIDERS]
    values = [int(slider.get_current_value()) for slider in sliders]
    check(sliders[0].get_name() == FIRST_SLIDER and all(values[n - 1] == 16383 for n in MOD_DEPTHS),
          f"the window's first sliders are not the surface's, or the mod depths read {values}")
    expected = nrpn(regen, regen) + nrpn(regen2, regen2) + b"".join(
        nrpn(number, value) for number, value in enumerate(values, start=1))
    check(got == expected, "the dice's bytes at the synth differ from the switches and the sliders on screen:\n"
          f"  got      {got.hex(' ')}\n  expected {expected.hex(' ')}")


def main(synth_side, program_output):
    synth = Synth(synth_side)
    app = the_program(120)  # the guest may run without KVM
    status_line(app)
    move_first_slider_from_the_keyboard(app, synth)
    roll_the_dice_with_a_click(app, synth)
    check_printed_after_one_roll(program_output)
    print("usb synth window: ok")


if __name__ == "__main__":
    run(main, "usb synth window")
