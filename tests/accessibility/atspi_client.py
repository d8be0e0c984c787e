"""The program as a screen reader meets it, over the Linux accessibility bus
(libatspi through GObject introspection): every control a listener can reach
has a name, no two controls on one screen share one, every slider offers its
number as a value, and acting through the bus does what the mouse does.

Usage: atspi_client.py MONITOR_OUTPUT PROGRAM_OUTPUT (files that the
stand-in "vantor*2" and the program write their standard output to).
"""

import re
import sys
import time
import warnings

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

# get_action_name's replacement is missing from the introspection data.
warnings.filterwarnings("ignore", category=DeprecationWarning)
Role = Atspi.Role
INTERACTIVE = {Role.PUSH_BUTTON, Role.CHECK_BOX, Role.TOGGLE_BUTTON, Role.RADIO_BUTTON, Role.SLIDER,
               Role.COMBO_BOX, Role.SPIN_BUTTON, Role.PAGE_TAB, Role.MENU_ITEM}
# Each page tab's accessible name and a control that only its page shows.
PAGES = {"W/X": "decay A", "Y/Z": "decay C", "Algorithm matrix": "regen time",
         "Mod: mod A rate to mod C depth": "mod A rate", "Mod: mod D rate to mod F depth": "mod D rate",
         "gesture": "thumb height", "utility": "bpm"}
SLIDER_COUNT = 43 + 4 + 5  # the surface's, the utility tab's, the camera rows'
NRPN = re.compile(r'^NRPN (\d+)(?: "([^"]*)")? = (\d+)$')


class Failure(Exception):
    pass


def wait_for(what, condition, seconds=60.0):
    """Polls `condition` until it gives something true; generous for a loaded machine."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        try:
            found = condition()
        except GLib.Error:  # the object went away or is still being built
            found = None
        if found:
            return found
        time.sleep(0.05)
    raise Failure("timed out waiting for " + what)


def walk(node, showing_only):
    """The node and what lies below it; a combo box's popup list is not a control of the screen."""
    node.clear_cache()
    if showing_only and not node.get_state_set().contains(Atspi.StateType.SHOWING):
        return
    yield node
    if node.get_role() == Role.COMBO_BOX:
        return
    for index in range(node.get_child_count()):
        child = node.get_child_at_index(index)
        if child is not None:
            yield from walk(child, showing_only)


def controls(app, showing_only=True, role=None):
    return [n for n in walk(app, showing_only) if (n.get_role() == role if role else n.get_role() in INTERACTIVE)]


def named(app, name, role=None):
    return next((n for n in controls(app, True, role) if n.get_name() == name), None)


def act(node, action):
    names = [node.get_action_name(i) for i in range(node.get_n_actions())]
    if action not in names:
        raise Failure(f"{node.get_name()!r} offers {names}, not {action!r}")
    node.do_action(names.index(action))


def check(condition, message):
    if not condition:
        raise Failure(message)


def nrpns(path):
    """The NRPNs the stand-in synthesizer prints, one at a time: (parameter, label, value)."""
    with open(path, encoding="utf-8") as printed:
        while True:
            line = wait_for("an NRPN at the monitor", printed.readline, 30)
            match = NRPN.match(line.rstrip("\n"))
            check(match or line.startswith("listening:"), "the monitor printed " + line)
            if match:
                yield int(match[1]), match[2], int(match[3])


def expect(monitor, parameter, value):
    got = next(monitor)[::2]
    check(got == (parameter, value), f"expected NRPN {parameter} = {value}, the monitor got {got}")


def the_program(seconds=60.0):
    """The program on the bus, once its surface has replaced the splash."""
    desktop = Atspi.get_desktop(0)
    app = wait_for("the program on the bus", lambda: next(
        (a for a in (desktop.get_child_at_index(i) for i in range(desktop.get_child_count()))
         if a is not None and a.get_name() == "vantor2"), None), seconds)
    wait_for("the surface after the splash", lambda: named(app, "decay A", Role.SLIDER), seconds)
    return app


def check_every_slider_offers_its_number(app):
    sliders = controls(app, showing_only=False, role=Role.SLIDER)
    check(len(sliders) == SLIDER_COUNT, f"{len(sliders)} sliders, not {SLIDER_COUNT}")
    for slider in sliders:
        check("Value" in slider.get_interfaces(), slider.get_name() + " has no Value")
        limits = (slider.get_minimum_value(), slider.get_maximum_value(), slider.get_minimum_increment())
        check(limits == (0, 16383, 1), f"{slider.get_name()} goes {limits}")


def check_page(app, tab_name):
    shown = controls(app)
    names = [node.get_name() or "" for node in shown]
    nameless = sorted({node.get_role_name() for node, name in zip(shown, names) if not name})
    check(not nameless, f"on {tab_name!r} a control has no name: {nameless}")
    repeated = sorted({name for name in names if names.count(name) > 1})
    check(not repeated, f"on {tab_name!r} these names are not unique: {repeated}")
    for switch in controls(app, role=Role.CHECK_BOX) + [n for n in shown if n.get_name() == "equation ??"]:
        check(re.search(r"\(NRPN \d+ on, \d+ off\)$", switch.get_description()),
              f"{switch.get_name()!r} is described as {switch.get_description()!r}")
    if tab_name == "gesture":  # each row's slider names what its menu chose, the menu whose row it is
        pickers, sliders = controls(app, role=Role.COMBO_BOX), controls(app, role=Role.SLIDER)
        check(len(pickers) == len(sliders) == 5, "the gesture tab does not show five rows")
        for picker, slider in zip(pickers, sliders):
            check(slider.get_description() == "Drives " + picker.get_name(), slider.get_description())
            check(picker.get_description() == "variables for " + slider.get_name(), picker.get_description())


def turn_to(app, tab_name):
    act(wait_for("the tab " + tab_name, lambda: named(app, tab_name, Role.PAGE_TAB)), "Press")
    wait_for(f"the page of {tab_name!r}", lambda: named(app, PAGES[tab_name]))


def check_acting_sends(app, monitor):
    decay = named(app, "decay A", Role.SLIDER)  # NRPN 4
    for value, sent in ((5000, 5000), (20000, 16383), (-7, 0)):
        decay.set_current_value(value)
        expect(monitor, 4, sent)
        check(decay.get_current_value() == sent, f"decay A reads {decay.get_current_value()} after {value}")

    pulse = named(app, "pulse disabled", Role.CHECK_BOX)
    act(pulse, "Toggle")
    wait_for("the label 'pulse enabled'", lambda: pulse.clear_cache() or pulse.get_name() == "pulse enabled")
    check(pulse.get_state_set().contains(Atspi.StateType.CHECKED), "the pulse switch is not checked")
    expect(monitor, 135, 135)

    # The dice's first two NRPNs are the regen switches: a second 135 before them is one send too many.
    act(named(app, "dice", Role.PUSH_BUTTON), "Press")
    regen, regen2 = next(monitor), next(monitor)
    check(regen[0] in (136, 137) and regen2[0] in (138, 139), f"the dice began with {regen}, {regen2}")
    rolled = {}
    for number in range(1, 44):
        parameter, label, value = next(monitor)
        check(parameter == number, f"the dice sent NRPN {parameter} where {number} was due")
        rolled[label] = value
    on_screen = {s.get_name(): s for s in controls(app, showing_only=False, role=Role.SLIDER)}
    for label, value in rolled.items():
        check(on_screen[label].get_current_value() == value, f"{label} reads back other than {value}")
    algorithm = "algorithm mode B" if regen2[0] == 138 else "algorithm mode A"
    wait_for(f"the label {algorithm!r}", lambda: named(app, algorithm, Role.CHECK_BOX))


def main(monitor_output, program_output):
    monitor = nrpns(monitor_output)
    app = the_program()
    check_every_slider_offers_its_number(app)
    tabs = [tab.get_name() for tab in controls(app, role=Role.PAGE_TAB)]
    check(tabs == list(PAGES), f"the tabs are {tabs}")
    for tab_name in tabs[1:] + tabs[:1]:
        turn_to(app, tab_name)
        check_page(app, tab_name)
    check_acting_sends(app, monitor)
    # The dice's run was over once its label showed, and every line is flushed as it is written. With the
    # destination there, the dice's seven mod buttons, which have no numbers, are all the program prints.
    with open(program_output, encoding="utf-8") as printed:
        output = printed.read()
    check(output == "".join(f"NRPN numbers not defined for tab {n}\n" for n in range(1, 8)),
          "the program printed " + repr(output))
    print("accessibility: ok")


def run(main, name):
    """Runs `main` on the command line's arguments; a failure is one line on standard error and exit status 1."""
    try:
        main(*sys.argv[1:])
    except Failure as failure:
        print(f"{name}: {failure}", file=sys.stderr)
        sys.exit(1)


if __name__ == "__main__":
    run(main, "accessibility")
