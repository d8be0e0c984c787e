"""The real program in the guest, driven as a user would (the cases: window_test.sh): what the screen shows
comes over the accessibility bus, keys are real X input (xdotool), the NRPNs are the bytes the USB synth
"vantor*2" receives, and the webcam is hand_camera_writer, which shows a stage's picture until this asks for the
next and counts the pictures it writes. Every wait is on that count, on the synth's bytes or on the screen.

Usage: window.py tracking|untracked STAGES WORK_DIR SYNTH_SIDE (the writer's stages, the folder with its files
and the program's, and the gadget's raw MIDI device).
"""

import math
import os
import subprocess
import sys

sys.dont_write_bytecode = True  # no cache left in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "accessibility"))
from atspi_client import (Atspi, Failure, Role, check, controls, named, run, the_program, turn_to,  # noqa: E402
                          wait_for, walk)

FULL_SCALE = 16383
PICTURE_WIDTH, PICTURE_HEIGHT = 640, 480  # the writer's pictures
TILT_SPAN = 0.5  # of the row's range, for a full turn of the hand
THUMB, INDEX, MIDDLE, PINCH, TILT = 2, 4, 6, 8, 10  # the rows' parameters as the program starts
ROWS, HEIGHTS = (THUMB, INDEX, MIDDLE, PINCH, TILT), (THUMB, INDEX, MIDDLE)
# Each picture with a hand moves a row's value this share of the way to what the tracker measured.
SMOOTHING = {THUMB: 0.2, INDEX: 0.2, MIDDLE: 0.2, PINCH: 0.2, TILT: 0.5}
STAGE_SECONDS = 300.0  # without KVM the tracker takes seconds a picture; the first also loads it
LATER_PICTURES = 30  # how long a value must then stay, counted in the camera's pictures


def nrpn(parameter, value):
    """The four Control Change messages of an NRPN on channel 1, each with its status byte."""
    return bytes([0xB0, 99, parameter >> 7, 0xB0, 98, parameter & 0x7F, 0xB0, 6, value >> 7, 0xB0, 38, value & 0x7F])


class Synth:
    """The synth's side of the gadget: the NRPNs it received, (parameter, value) in order, each byte-exact."""

    def __init__(self, device):
        self.fd = os.open(device, os.O_RDONLY | os.O_NONBLOCK)
        self.received = b""
        self.poll()  # starts the gadget's input, which drops what comes before; and what a run before left
        self.received = b""

    def poll(self):
        try:
            while chunk := os.read(self.fd, 4096):
                self.received += chunk
        except BlockingIOError:
            pass
        got = self.received
        sent = [(got[i + 2] << 7 | got[i + 5], got[i + 8] << 7 | got[i + 11]) for i in range(0, len(got) - 11, 12)]
        whole = b"".join(nrpn(*each) for each in sent)
        check(got[:len(whole)] == whole, f"the synth received {got.hex(' ')}, not whole NRPNs")
        return sent


def focus_by_tab(app, role, name):
    """Tabs through the window from whatever has the focus until the control `name` has it."""
    window = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name", r"^vantor\*2$"],
                            check=True, capture_output=True, text=True).stdout.split()[0]
    subprocess.run(["xdotool", "windowfocus", "--sync", window], check=True)

    def focused():
        held = [n for n in walk(app, True) if n.get_state_set().contains(Atspi.StateType.FOCUSED)]
        # The current page's tab says it is focused whatever has the focus.
        held = [n for n in held if n.get_role() != Role.PAGE_TAB] or held
        return (held[-1].get_role(), held[-1].get_name()) if held else None

    focus = wait_for("a control with the focus", focused)
    for _ in range(12):
        if focus == (role, name):
            return
        subprocess.run(["xdotool", "key", "--window", window, "Tab"], check=True)
        previous = focus
        focus = wait_for(f"Tab to move the focus on from {previous}", lambda: (focused() or previous) != previous
                         and focused())
    check(focus == (role, name), f"Tab reached {focus}, not {name!r}")


class Measures:
    """What the tracker measured in each picture, read back from the rows' sends.

    A picture's sends come together, row by row. Each moves a row's value SMOOTHING of the way from where the
    row's memory was to the measurement, so the measurement is the memory plus the step over that share:
    smoothing would otherwise hide for a dozen pictures where the hand is, and without KVM a dozen pictures take
    minutes. A picture without a hand sends zeros (None here) and leaves the memory alone.
    """

    def __init__(self, synth):
        self.synth, self.read, self.last_row = synth, 0, ROWS[-1]
        self.memory = dict.fromkeys(ROWS, 0)
        self.pictures = []  # one {row: measured or None} a picture

    def update(self):
        sent = self.synth.poll()
        for row, value in sent[self.read:]:
            check(row in ROWS, f"an NRPN for parameter {row}, which no row is assigned to")
            if row <= self.last_row:
                self.pictures.append({})
            self.last_row = row
            if value == 0:
                self.pictures[-1][row] = None
                continue
            self.pictures[-1][row] = self.memory[row] + (value - self.memory[row]) / SMOOTHING[row]
            self.memory[row] = value
        self.read = len(sent)
        return self.pictures

    def index(self, picture):
        return next(n for n, seen in enumerate(self.pictures) if seen is picture)

    def first_after(self, since, what, found):
        """The first picture after the first `since` for which `found` holds."""
        try:
            return wait_for(what, lambda: next((p for p in self.update()[since:] if found(p)), None), STAGE_SECONDS)
        except Failure as failure:
            raise Failure(f"{failure}; measured since: {self.pictures[since:]}") from None

    def second_whole(self, since, what, arrived):
        """The picture of the hand after the first for which `arrived` holds. The tracker looks for the hand
        where the last picture had it; by the second picture of the hand's new place it looks there."""
        first = self.first_after(since, what, lambda p: whole(p) and arrived(p))
        return self.first_after(self.index(first) + 1, "a second picture after " + what, whole)


class Camera:
    """hand_camera_writer, through the files it reads and writes."""

    def __init__(self, work):
        self.stage_file, self.count_file = os.path.join(work, "stage"), os.path.join(work, "frames")

    def written(self):
        """How many pictures the writer has written, and the stage of the last."""
        with open(self.count_file, encoding="utf-8") as count:
            return tuple(int(field) for field in count.read().split())

    def show(self, stage):
        """Moves the writer to `stage`; returns once a picture of it is out."""
        with open(self.stage_file + ".partial", "w", encoding="utf-8") as wanted:
            wanted.write(f"{stage}\n")
        os.replace(self.stage_file + ".partial", self.stage_file)
        wait_for(f"the camera to show stage {stage}", lambda: self.written()[1] == stage)

    def wait_pictures(self, count):
        first = self.written()[0]
        wait_for(f"{count} more pictures from the camera", lambda: self.written()[0] >= first + count)


def whole(picture):
    return all(picture.get(row) is not None for row in HEIGHTS + (TILT,))


def measured_angle(turn):
    """The angle in degrees of a hand pointing right, turned `turn` degrees, as measured in the tracker's
    coordinates (0..1 both ways, so 4:3 stretched)."""
    return math.degrees(math.atan(math.tan(math.radians(turn)) * PICTURE_WIDTH / PICTURE_HEIGHT))


def follow(measures, since, stage, before, previous_stage):
    """Where the tracker measures the hand in its new place, checked against the last."""
    if before is None:
        picture = measures.first_after(since, "the hand's first picture", whole)
        check(picture[THUMB] > picture[INDEX] > picture[MIDDLE],
              f"with the fingers pointing right the thumb should be highest, then the index: {picture}")
        return picture
    (rise, turn), (previous_rise, previous_turn) = stage, previous_stage
    rows = HEIGHTS if turn == previous_turn else (TILT,)
    if turn == previous_turn:
        expected = (rise - previous_rise) / PICTURE_HEIGHT * FULL_SCALE
    else:
        expected = (measured_angle(turn) - measured_angle(previous_turn)) / 360 * TILT_SPAN * FULL_SCALE
    picture = measures.second_whole(since, f"the hand to move from {previous_stage} to {stage}", lambda p:
                                    abs(p[rows[0]] - before[rows[0]]) >= abs(expected) / 4)
    # Within a quarter either way: the tracker is no ruler, but a row that follows the wrong joint or scale is
    # off by more.
    for row in rows:
        change = picture[row] - before[row]
        check(0.75 * expected <= change <= expected / 0.75,
              f"NRPN {row} moved by {change:.0f}, not within a quarter of the {expected:.0f} the hand moved")
    return picture


def check_hand_leaves_and_returns(app, measures, camera, gone, back, before):
    """No hand: each row sends 0 once and stays; back, the hand goes on from where it left."""
    since = len(measures.update())
    camera.show(gone)
    left = measures.first_after(since, "all five rows at 0 after the hand left",
                                lambda p: all(p.get(row, 1) is None for row in ROWS))
    shown = [slider.get_current_value() for slider in controls(app, role=Role.SLIDER)]
    check(shown == [0] * 5, f"with no hand the rows' sliders read {shown}")
    camera.show(back)
    returned = measures.first_after(measures.index(left) + 1, "the hand to come back",
                                    lambda p: all(p.get(row) is not None for row in HEIGHTS))
    between = measures.pictures[measures.index(left):measures.index(returned)]
    check(between == [dict.fromkeys(ROWS)], f"between the hand leaving and coming back: {between}")
    # Had the rows forgotten the hand, this would be off by four times where they were.
    for row in HEIGHTS:
        check(abs(returned[row] - before[row]) < 0.04 * FULL_SCALE,
              f"NRPN {row} came back measuring {returned[row]:.0f}, not near the {before[row]:.0f} it left at")


def tracking(stages, camera, synth, app):
    labels = [label.get_name() for label in controls(app, role=Role.LABEL)]
    check("vantor*2" in labels and "Not Connected" not in labels, f"the header's labels read {labels}")
    turn_to(app, "gesture")
    check(named(app, "Disable Camera", Role.PUSH_BUTTON), "the camera is not on")
    measures = Measures(synth)
    picture = previous_stage = None
    for number, stage in enumerate(stages):
        if stage is None:
            check_hand_leaves_and_returns(app, measures, camera, number, stages.index(previous_stage), picture)
            continue
        since = len(measures.update())
        camera.show(number)
        picture = follow(measures, since, stage, picture, previous_stage)
        previous_stage = stage


def untracked(stages, camera, synth, app, work):
    camera.show(stages.index(None))
    turn_to(app, "gesture")
    notice = wait_for("the notice over the picture", lambda: named(app, "Hand tracking unavailable", Role.LABEL), 120)
    with open(os.path.join(work, "program.err"), encoding="utf-8") as errors:
        said = errors.read()
    check("Hand tracking unavailable: cannot open" in said, f"the program said {said!r}")
    area = notice.get_parent()

    def pixels():
        """The camera area's pixels as the screen shows them, every seventh RGB byte."""
        box = area.get_extents(Atspi.CoordType.SCREEN)
        shot = subprocess.run(["import", "-window", "root", "-crop", f"{box.width}x{box.height}+{box.x}+{box.y}",
                               "-depth", "8", "rgb:-"], check=True, capture_output=True).stdout
        check(len(shot) == box.width * box.height * 3, f"a screenshot of {len(shot)} bytes for {box}")
        return shot[::7]

    def changes_from(before, what):
        def differs():
            now = pixels()
            return sum(abs(a - b) for a, b in zip(now, before)) / len(now) > 4
        wait_for(what, differs)
        return pixels()

    # The empty scene is light: a black area would mean no picture. The hand then changes it, so these are the
    # camera's pictures, not one kept.
    def light():
        shot = pixels()
        return shot if sum(shot) / len(shot) > 100 else None
    empty_scene = wait_for("the camera's picture in the area", light)
    camera.show(0)
    hand_scene = changes_from(empty_scene, "the hand to show in the area")

    focus_by_tab(app, Role.SLIDER, "thumb height")
    check(synth.poll() == [], f"before any key the synth got {synth.poll()}")
    subprocess.run(["xdotool", "key", "End"], check=True)
    wait_for("the row's NRPN at the synth", synth.poll)
    # Pictures keep coming after the key, and one of them reaches the screen.
    camera.wait_pictures(LATER_PICTURES)
    camera.show(stages.index(None))
    changes_from(hand_scene, "the empty scene to show again")
    shown = named(app, "thumb height", Role.SLIDER).get_current_value()
    check(synth.poll() == [(THUMB, FULL_SCALE)] and shown == FULL_SCALE,
          f"after End on the thumb row and {LATER_PICTURES} more pictures the synth got {synth.poll()} "
          f"and the slider reads {shown}")


def main(case, stages, work, synth_side):
    stages = [None if item == "-" else tuple(float(f) for f in item.split("/")) for item in stages.split(",")]
    camera, synth = Camera(work), Synth(synth_side)
    app = the_program(180)  # the guest may run without KVM
    if case == "tracking":
        tracking(stages, camera, synth, app)
    else:
        untracked(stages, camera, synth, app, work)
    print(f"window, {case}: ok")


if __name__ == "__main__":
    run(main, "window")
