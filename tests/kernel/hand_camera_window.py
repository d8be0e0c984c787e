"""The gesture tab with a webcam that sees a hand, driven as a user would.

tracking: the rows' values reach "vantor*2" and follow the hand: the finger
heights (NRPN 2, 4, 6) rise by what the hand rises, the tilt (NRPN 10) turns
with the hand, and when the hand leaves all five rows go to 0, once each.

untracked (the program without its hand models): the picture still shows
and changes with the camera's, the notice over it says hand tracking is
unavailable, and a row moved from the keyboard sends its value once and
keeps it while pictures keep coming.

The camera is hand_camera_writer: it shows a stage's picture until this
asks for the next, and counts the pictures it writes. Every wait is on that
count, on the monitor's lines or on the screen.

Usage: hand_camera_window.py tracking|untracked STAGES WORK_DIR (the writer's
stages, and the folder with its files, the monitor's and the program's).
"""

import math
import os
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # no cache left in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "accessibility"))
from atspi_client import NRPN, Atspi, Failure, Role, check, controls, named, run, the_program, turn_to, wait_for  # noqa: E402
from usb_synth_window import focused, xdotool  # noqa: E402

FULL_SCALE = 16383
PICTURE_WIDTH, PICTURE_HEIGHT = 640, 480  # the writer's pictures
TILT_SPAN = 0.5  # of the row's range, for a full turn of the hand
THUMB, INDEX, MIDDLE, PINCH, TILT = 2, 4, 6, 8, 10  # the rows' parameters as the program starts
ROWS = (THUMB, INDEX, MIDDLE, PINCH, TILT)
HEIGHTS = (THUMB, INDEX, MIDDLE)
# Each picture with a hand moves a row's value this part of the way to what
# the tracker measured.
SMOOTHING = {THUMB: 0.2, INDEX: 0.2, MIDDLE: 0.2, PINCH: 0.2, TILT: 0.5}
# Without KVM the tracker takes seconds a picture; the first also loads it.
STAGE_SECONDS = 300.0
LATER_PICTURES = 30  # how long a value must then stay, counted in the camera's pictures


def parse_stages(text):
    """The writer's stages: (rise in pixels, turn in degrees), None where the hand is gone."""
    return [None if item == "-" else tuple(float(field) for field in item.split("/")) for item in text.split(",")]


class Monitor:
    """The NRPNs the stand-in synthesizer has printed so far: (parameter, value), in order."""

    def __init__(self, path):
        self.file = open(path, encoding="utf-8")
        self.partial = ""
        self.sent = []

    def poll(self):
        *lines, self.partial = (self.partial + self.file.read()).split("\n")
        for line in lines:
            match = NRPN.match(line)
            check(match or line.startswith("listening:"), "the monitor printed " + line)
            if match:
                self.sent.append((int(match[1]), int(match[3])))
        return self.sent


class Measures:
    """What the tracker measured in each picture, read back from the rows' sends.

    A picture's sends come together, row by row. Each moves a row's value
    SMOOTHING of the way from where the row's memory was to the measurement,
    so the measurement is the memory plus the step over that part: smoothing
    would otherwise hide for a dozen pictures where the hand is, and without
    KVM a dozen pictures take minutes. A picture without a hand sends zeros
    (None here) and leaves the memory alone.
    """

    def __init__(self, monitor):
        self.monitor = monitor
        self.read = 0
        self.memory = dict.fromkeys(ROWS, 0)
        self.pictures = []  # one {row: measured or None} a picture
        self.last_row = ROWS[-1]

    def update(self):
        sent = self.monitor.poll()
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
        def seen():
            return next((p for p in self.update()[since:] if found(p)), None)
        try:
            return wait_for(what, seen, STAGE_SECONDS)
        except Failure as failure:
            raise Failure(f"{failure}; measured since: {self.pictures[since:]}") from None


class Camera:
    """hand_camera_writer, through the files it reads and writes."""

    def __init__(self, work):
        self.stage_file = os.path.join(work, "stage")
        self.count_file = os.path.join(work, "frames")

    def written(self):
        """How many pictures the writer has written, and the stage of the last."""
        with open(self.count_file, encoding="utf-8") as count:
            frames, stage = count.read().split()
        return int(frames), int(stage)

    def show(self, stage):
        """Moves the writer to `stage`; returns once a picture of it is out."""
        with open(self.stage_file + ".partial", "w", encoding="utf-8") as wanted:
            wanted.write(f"{stage}\n")
        os.replace(self.stage_file + ".partial", self.stage_file)
        wait_for(f"the camera to show stage {stage}", lambda: self.written()[1] == stage)

    def wait_pictures(self, count):
        first = self.written()[0]
        wait_for(f"{count} more pictures from the camera", lambda: self.written()[0] >= first + count)


def moved(picture, row, before, expected):
    """Whether `picture` measured `row` a quarter of `expected` or more away from `before`."""
    return picture.get(row) is not None and abs(picture[row] - before[row]) >= abs(expected) / 4


def check_between(what, change, expected):
    """A quarter either way: the tracker is no ruler, but a row that follows
    the wrong joint or scale is off by more."""
    check(0.75 * expected <= change <= expected / 0.75,
          f"{what} moved by {change:.0f}, not within a quarter of the {expected:.0f} the hand moved")


def measured_angle(turn):
    """The angle in degrees of a hand pointing right, turned `turn` degrees, as
    measured in the tracker's coordinates (0..1 both ways, so 4:3 stretched)."""
    return math.degrees(math.atan(math.tan(math.radians(turn)) * PICTURE_WIDTH / PICTURE_HEIGHT))


def first_hand(measures, since):
    """The first picture of the hand: the thumb above the index above the middle finger."""
    picture = measures.first_after(since, "the hand's first picture",
                                   lambda p: all(p.get(row) is not None for row in HEIGHTS + (TILT,)))
    check(picture[THUMB] > picture[INDEX] > picture[MIDDLE],
          f"with the fingers pointing right the thumb should be highest, then the index: {picture}")
    return picture


def second_picture(measures, since, what, arrived):
    """The picture after the first for which `arrived` holds. The tracker looks
    for the hand where the last picture had it; by the second picture of the
    hand's new place it looks there."""
    def whole(picture):
        return all(picture.get(row) is not None for row in HEIGHTS + (TILT,))
    first = measures.first_after(since, what, lambda p: whole(p) and arrived(p))
    return measures.first_after(measures.index(first) + 1, "a second picture after " + what, whole)


def follow(measures, since, stage, before, previous_stage):
    """Where the tracker measures the hand in its new place, checked against the last."""
    rise, turn = stage
    if turn == previous_stage[1]:
        expected = (rise - previous_stage[0]) / PICTURE_HEIGHT * FULL_SCALE
        picture = second_picture(measures, since, f"the hand to rise by {rise - previous_stage[0]:.0f} pixels",
                                 lambda p: moved(p, THUMB, before, expected))
        for row in HEIGHTS:
            check_between(f"NRPN {row}", picture[row] - before[row], expected)
    else:
        expected = (measured_angle(turn) - measured_angle(previous_stage[1])) / 360 * TILT_SPAN * FULL_SCALE
        picture = second_picture(measures, since, f"the hand to turn by {turn - previous_stage[1]:.0f} degrees",
                                 lambda p: moved(p, TILT, before, expected))
        check_between(f"the tilt (NRPN {TILT})", picture[TILT] - before[TILT], expected)
    return picture


def check_hand_leaves_and_returns(app, measures, camera, gone, back, before):
    """No hand: each row sends 0 once and stays; back, the hand continues from where it left."""
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


def tracking(stages, work):
    monitor, camera = Monitor(os.path.join(work, "monitor.tracking")), Camera(work)
    measures = Measures(monitor)
    app = the_program(180)  # the guest may run without KVM
    turn_to(app, "gesture")
    check(named(app, "Disable Camera", Role.PUSH_BUTTON), "the camera is not on")
    started = time.monotonic()
    picture = previous_stage = None
    for number, stage in enumerate(stages):
        if stage is None:
            check_hand_leaves_and_returns(app, measures, camera, number, stages.index(previous_stage), picture)
            continue
        since = len(measures.update())
        camera.show(number)
        before = picture
        picture = first_hand(measures, since) if before is None else follow(measures, since, stage, before,
                                                                             previous_stage)
        print(f"stage {number} {stage}: {picture}")
        previous_stage = stage
    seconds = time.monotonic() - started
    print(f"{len(measures.pictures)} pictures tracked in {seconds:.1f} s ({len(measures.pictures) / seconds:.2f}/s)")


def preview_pixels(area):
    """The camera area's pixels as the screen shows them (RGB bytes)."""
    box = area.get_extents(Atspi.CoordType.SCREEN)
    shot = subprocess.run(["import", "-window", "root", "-crop", f"{box.width}x{box.height}+{box.x}+{box.y}",
                           "-depth", "8", "rgb:-"], check=True, capture_output=True).stdout
    check(len(shot) == box.width * box.height * 3, f"a screenshot of {len(shot)} bytes for {box.width}x{box.height}")
    return shot


def difference(one, other):
    return sum(abs(a - b) for a, b in zip(one[::7], other[::7])) / len(one[::7])


def wait_for_picture(area, what, shown):
    """The camera area's pixels once `shown` holds for them."""
    def seen():
        pixels = preview_pixels(area)
        return pixels if shown(pixels) else None
    return wait_for(what, seen)


def untracked(stages, work):
    monitor, camera = Monitor(os.path.join(work, "monitor.untracked")), Camera(work)
    hand, empty = 0, stages.index(None)
    camera.show(empty)
    app = the_program(180)
    turn_to(app, "gesture")
    notice = wait_for("the notice over the picture",
                      lambda: named(app, "Hand tracking unavailable", Role.LABEL), 120)
    with open(os.path.join(work, "program.err"), encoding="utf-8") as errors:
        said = errors.read()
    check("Hand tracking unavailable: cannot open" in said, f"the program said {said!r}")
    area = notice.get_parent()

    # The empty scene is light: a black area would mean no picture. The
    # hand then changes it, so these are the camera's pictures, not one kept.
    empty_scene = wait_for_picture(area, "the camera's picture in the area",
                                   lambda pixels: sum(pixels[::7]) / len(pixels[::7]) > 100)
    camera.show(hand)
    wait_for_picture(area, "the hand to show in the area", lambda pixels: difference(pixels, empty_scene) > 4)

    window = xdotool("search", "--sync", "--onlyvisible", "--name", r"^vantor\*2$").split()[0]
    xdotool("windowfocus", "--sync", window)
    focus = wait_for("a control with the focus", lambda: focused(app))
    for _ in range(12):  # from the tab bar past the camera's button and the first row's menu
        if focus == (Role.SLIDER, "thumb height"):
            break
        xdotool("key", "--window", window, "Tab")
        previous = focus
        focus = wait_for(f"Tab to move the focus on from {previous}",
                         lambda: (focused(app) or previous) != previous and focused(app))
    check(focus == (Role.SLIDER, "thumb height"), f"Tab reached {focus}, not the thumb height slider")
    check(monitor.poll() == [], f"before any key the monitor got {monitor.sent}")
    xdotool("key", "End")
    wait_for("the row's NRPN at the monitor", monitor.poll)
    check(monitor.sent[:1] == [(THUMB, FULL_SCALE)], f"End on the thumb row sent {monitor.sent}")

    # Pictures keep coming after the key, and one of them reaches the screen.
    camera.wait_pictures(LATER_PICTURES)
    hand_scene = preview_pixels(area)
    camera.show(empty)
    wait_for_picture(area, "the empty scene to show again", lambda pixels: difference(pixels, hand_scene) > 4)
    shown = named(app, "thumb height", Role.SLIDER).get_current_value()
    check(monitor.poll() == [(THUMB, FULL_SCALE)] and shown == FULL_SCALE,
          f"after End on the thumb row and {LATER_PICTURES} more pictures the monitor got {monitor.sent} "
          f"and the slider reads {shown}")


def main(case, stages, work):
    {"tracking": tracking, "untracked": untracked}[case](parse_stages(stages), work)
    print(f"hand camera window, {case}: ok")


if __name__ == "__main__":
    run(main, "hand camera window")
