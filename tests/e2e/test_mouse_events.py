"""Mouse events on the real runner, driven by a playback file: buttons held,
pressed and released on and off instances, no button, enter and leave, and
the wheel. The fixture objects log every mouse event they get, so the log
shows which instances got which event and in what order within the step.
The window is as large as the room and has no views, so a window pixel is a
room pixel."""

import os
import struct

from twtest import RunnerTest

FIXTURE = os.environ.get("TW_FIXTURE_RUNNER", "")
LOG = 0  # fixture code: logs "<event> <object> <id>"
FRAME_SIZE = 2939
LEFT, RIGHT, MIDDLE = 1, 2, 3

# Every mouse subtype the step raises.
LOCAL = list(range(0, 12))
GLOBAL = [12, 13] + list(range(50, 59)) + [60, 61]


def mouse_events(subtypes):
    return "".join(f"  EVENT 6 {s} code={LOG}\n" for s in subtypes)


# Object 0 "box": a 20x20 box sprite, every mouse event. Object 1 "half": an
# 8x8 precise sprite whose left half is solid, the local press events only.
# Object 2 "watcher": no sprite, a local and a global press event. Instances:
# 100001 box at (20, 20), 100002 box at (100, 100), 100003 half at (60, 20),
# 100004 watcher at (25, 25), under the first box.
GAME = f"""GEN8 version=13 debug=1 name="Mouse" display="Mouse" width=200 height=200 last_instance=100010 rooms=0
OPTN
ENTRY x=0 y=0 width=20 height=20 page=0
ENTRY x=0 y=0 width=8 height=8 page=0
PAGE width=20 height=20 fill=0xFF0000FF
SPRITE "spr_box" width=20 height=20 right=19 bottom=19 frames=0
SPRITE "spr_half" width=8 height=8 right=7 bottom=7 precise=1 frames=1 masks=f0f0f0f0f0f0f0f0
OBJECT "box" sprite=0 depth=0
  EVENT 3 1 code={LOG}
{mouse_events(LOCAL + GLOBAL)}END
OBJECT "half" sprite=1 depth=0
{mouse_events([4, 5, 6])}END
OBJECT "watcher" depth=0
{mouse_events([4, 53])}END
ROOM "room0" width=200 height=200 speed=30
  INSTANCE x=20 y=20 object=0 id=100001
  INSTANCE x=100 y=100 object=0 id=100002
  INSTANCE x=60 y=20 object=1 id=100003
  INSTANCE x=25 y=25 object=2 id=100004
END
EMPTY CODE
STRG
"""


def frame(at=(0, 0), down=(), pressed=(), released=(), wheel_up=False, wheel_down=False, key_pressed=None):
    """One step record of device 0: the mouse at `at` (window pixels) with
    these buttons; no key unless one is pressed (and held) in this step."""
    data = bytearray(FRAME_SIZE)
    if key_pressed is not None:
        struct.pack_into("<ii", data, 2052, key_pressed, key_pressed)
        data[2060 + key_pressed] = data[2572 + key_pressed] = 1
    held = list(down) + [b for b in pressed if b not in down]
    struct.pack_into("<i", data, 2828, held[-1] if held else 0)  # last button
    struct.pack_into("<i", data, 2848, held[-1] if held else 0)  # button
    for table, buttons in ((2868, held), (2883, released), (2898, pressed)):
        for b in buttons:
            data[table + b - 1] = 1
    data[2913] = int(wheel_up)
    data[2918] = int(wheel_down)
    struct.pack_into("<ii", data, 2931, *at)
    return bytes(data)


def box(event, *ids):
    return [f"{event} box {i}" for i in ids]


class MouseEvents(RunnerTest):
    def setUp(self):
        super().setUp()
        if not FIXTURE:
            self.skipTest("TW_FIXTURE_RUNNER not set")

    def play(self, recording, game=GAME, split="BeginStep box 100001"):
        """The logged lines of each step, split at the first instance's
        begin-step event."""
        self.pack(game)
        self.write("input.rec", recording)
        self.env["TARNWICKE_FRAMES"] = str(len(recording) // FRAME_SIZE)
        r = self.run_runner(["-game", "game.win", "-output", "out.txt", "-playback", "input.rec"],
                            program=FIXTURE)
        self.assertEqual(r.returncode, 0, r.stderr)
        with open(self.path("out.txt"), encoding="utf-8") as f:
            lines = f.read().splitlines()
        steps = []
        for line in lines:
            if line == split:
                steps.append([])
            elif steps and not line.startswith("BeginStep"):
                steps[-1].append(line)
        return steps

    def test_a_click_on_an_instance(self):
        # Step 1 runs before the window is first shown: no mouse events. The
        # mouse then rests off every instance, presses the left button on
        # the first box, holds it there, and releases it.
        steps = self.play(frame(at=(25, 25)) + frame(at=(5, 5))
                          + frame(at=(25, 25), pressed=[LEFT])
                          + frame(at=(25, 25), down=[LEFT])
                          + frame(at=(25, 25), released=[LEFT]))
        self.assertEqual(steps[0], [])
        # Nothing under the mouse, no button: every instance's global
        # events are all that could run, and none is due.
        self.assertEqual(steps[1], [])
        self.assertEqual(steps[2],
                         box("Left Button", 100001)
                         + box("Glob Left Button", 100001, 100002)
                         + box("Left Pressed", 100001)
                         + box("<unknown>", 100001, 100002)  # global press
                         + box("Glob Left Pressed", 100001, 100002) + ["Glob Left Pressed watcher 100004"]
                         + box("Mouse Enter", 100001))
        self.assertEqual(steps[3], box("Left Button", 100001) + box("Glob Left Button", 100001, 100002))
        self.assertEqual(steps[4],
                         box("No Button", 100001)
                         + box("Left Released", 100001)
                         + box("<unknown>", 100001, 100002)  # global release
                         + box("Glob Left Released", 100001, 100002))

    def test_each_button_has_its_own_subtypes(self):
        # Right and middle pressed together over the second box; the held
        # events come button by button before the pressed ones.
        steps = self.play(frame(at=(110, 110)) + frame(at=(110, 110))
                          + frame(at=(110, 110), pressed=[RIGHT, MIDDLE]))
        self.assertEqual(steps[2],
                         box("Right Button", 100002) + box("Glob Right Button", 100001, 100002)
                         + box("Middle Button", 100002) + box("Glob Middle Button", 100001, 100002)
                         + box("Right Pressed", 100002) + box("<unknown>", 100001, 100002)
                         + box("Glob Right Pressed", 100001, 100002)
                         + box("Middle Pressed", 100002) + box("<unknown>", 100001, 100002)
                         + box("Glob Middle Pressed", 100001, 100002))

    def test_enter_and_leave_follow_the_mouse(self):
        steps = self.play(frame() + frame(at=(5, 5)) + frame(at=(30, 30)) + frame(at=(39, 39))
                          + frame(at=(40, 40)) + frame(at=(105, 105)))
        no_button = box("No Button", 100001)
        self.assertEqual(steps[1], [])
        self.assertEqual(steps[2], no_button + box("Mouse Enter", 100001))
        self.assertEqual(steps[3], no_button)  # still inside: no second enter
        # (40, 40) lies just past the box, which ends at 39.
        self.assertEqual(steps[4], box("Mouse Leave", 100001))
        self.assertEqual(steps[5], box("No Button", 100002) + box("Mouse Enter", 100002))

    def test_an_instance_under_the_mouse_at_first_sight_is_entered(self):
        # The first dispatch has no earlier point: nothing is left, and the
        # instance under the mouse is entered.
        steps = self.play(frame(at=(25, 25)) + frame(at=(25, 25)) + frame(at=(25, 25)))
        self.assertEqual(steps[1], box("No Button", 100001) + box("Mouse Enter", 100001))
        self.assertEqual(steps[2], box("No Button", 100001))

    def test_nothing_is_left_before_the_mouse_was_seen(self):
        # A box over the room's origin: the mouse, first seen elsewhere, was
        # never in it, so it gets no leave event.
        game = GAME.replace("INSTANCE x=20 y=20 object=0 id=100001", "INSTANCE x=-5 y=-5 object=0 id=100001")
        steps = self.play(frame() + frame(at=(150, 150)) + frame(at=(2, 2)) + frame(at=(150, 150)), game)
        self.assertEqual(steps[1], [])
        self.assertEqual(steps[2], box("No Button", 100001) + box("Mouse Enter", 100001))
        self.assertEqual(steps[3], box("Mouse Leave", 100001))

    def test_wheel_events_are_global(self):
        steps = self.play(frame() + frame(at=(5, 5), wheel_up=True) + frame(at=(5, 5), wheel_down=True)
                          + frame(at=(5, 5), wheel_up=True, wheel_down=True) + frame(at=(5, 5)))
        self.assertEqual(steps[1], box("Mouse Wheel Up", 100001, 100002))
        self.assertEqual(steps[2], box("Mouse Wheel Down", 100001, 100002))
        self.assertEqual(steps[3], box("Mouse Wheel Up", 100001, 100002) + box("Mouse Wheel Down", 100001, 100002))
        self.assertEqual(steps[4], [])

    def test_local_events_use_the_precise_shape(self):
        # The half-solid sprite spans x 60 to 67; only 60 to 63 is solid.
        # An instance with no sprite is never under the mouse.
        steps = self.play(frame() + frame(at=(65, 22)) + frame(at=(65, 22), pressed=[LEFT])
                          + frame(at=(61, 22)) + frame(at=(61, 22), pressed=[LEFT]))
        pressed_elsewhere = (box("Glob Left Button", 100001, 100002) + box("<unknown>", 100001, 100002)
                             + box("Glob Left Pressed", 100001, 100002) + ["Glob Left Pressed watcher 100004"])
        self.assertEqual(steps[2], pressed_elsewhere)
        self.assertEqual(steps[4], pressed_elsewhere[:2] + ["Left Pressed half 100003"] + pressed_elsewhere[2:])

    def test_views_map_the_window_to_the_room(self):
        # A 200x200 window showing the room's (200, 200)-(300, 300) at twice
        # its size: window (50, 50) is room (225, 225), inside the box now at
        # (220, 220); window (30, 30) is room (215, 215), outside it.
        game = GAME.replace('ROOM "room0" width=200 height=200 speed=30\n',
                            'ROOM "room0" width=400 height=400 speed=30 flags=1\n'
                            "  VIEW 0 visible=1 xview=200 yview=200 wview=100 hview=100 xport=0 yport=0 wport=200 "
                            "hport=200\n").replace("INSTANCE x=20 y=20 object=0", "INSTANCE x=220 y=220 object=0")
        self.assertNotEqual(game, GAME)
        steps = self.play(frame() + frame(at=(30, 30), pressed=[RIGHT]) + frame(at=(50, 50), pressed=[RIGHT]), game)
        self.assertNotIn("Right Pressed box 100001", steps[1])
        self.assertIn("Right Pressed box 100001", steps[2])

    def test_mouse_events_run_between_the_keys_and_the_step(self):
        game = f"""GEN8 version=13 debug=1 name="Order" display="Order" width=200 height=200 last_instance=100010 rooms=0
OPTN
OBJECT "order" depth=0
  EVENT 3 1 code={LOG}
  EVENT 3 0 code={LOG}
  EVENT 3 2 code={LOG}
  EVENT 9 65 code={LOG}
  EVENT 6 53 code={LOG}
END
ROOM "room0" width=200 height=200 speed=30
  INSTANCE x=0 y=0 object=0 id=100001
END
EMPTY CODE
STRG
"""
        steps = self.play(frame() + frame(pressed=[LEFT], key_pressed=65), game, split="BeginStep order 100001")
        self.assertEqual(steps[1], ["press A-key order 100001", "Glob Left Pressed order 100001",
                                    "Step order 100001", "EndStep order 100001"])
