"""The program that carries its game: it opens on the splash room, and its
compiled event table binds to its own container only, while the fixture
runner binds its table to -game files and refuses a code index past it."""

import os
import unittest

from twtest import EMBEDDED, RunnerTest, read_png

FIXTURE = os.environ.get("TW_FIXTURE_RUNNER", "")

WHITE = (255, 255, 255)
# The splash picture's frame and play field, as game/make_game.py draws them.
SPLASH_FRAME = (20, 30, 70)
SPLASH_FIELD = (10, 14, 35)
# The picture is 356 x 335 with its origin at (178, 167), placed at (320, 192).
SPLASH_LEFT, SPLASH_TOP = 320 - 178, 192 - 167
SPLASH_RIGHT, SPLASH_BOTTOM = SPLASH_LEFT + 356, SPLASH_TOP + 335


def compiled_game(code, colour=0x0000FF):
    """One room of one object whose create event names compiled entry `code`."""
    return ('GEN8 name="Binding" display="Binding" width=64 height=48\n'
            "OPTN\n"
            'OBJECT "obj_probe"\n'
            f"  EVENT ev_create 0 code={code}\n"
            "END\n"
            f'ROOM "room0" width=64 height=48 colour={colour} show_colour=1 speed=30\n'
            "  INSTANCE object=0 x=8 y=8\n"
            "END\n")


class SplashRoom(RunnerTest):
    def setUp(self):
        super().setUp()
        if not EMBEDDED:
            self.skipTest("TW_EMBEDDED not set")

    def capture(self, args=()):
        self.env.update({"TARNWICKE_FRAMES": "4", "TARNWICKE_CAPTURE_FRAME": "3",
                         "TARNWICKE_CAPTURE_FILE": self.path("frame-%d.png")})
        r = self.run_runner(list(args), program=EMBEDDED)
        self.assertEqual(r.returncode, 0, r.stderr)
        return r, read_png(self.path("frame-3.png"))

    def assertSplash(self, img):
        w, h, px = img
        self.assertEqual((w, h), (640, 480))

        def at(x, y):
            return px[y][x][:3]

        # The white room around the picture.
        for x, y in ((0, 0), (639, 0), (0, 479), (639, 479), (SPLASH_LEFT - 1, 192), (SPLASH_RIGHT, 192),
                     (320, SPLASH_TOP - 1), (320, SPLASH_BOTTOM)):
            self.assertEqual(at(x, y), WHITE, (x, y))
        # The picture's edges, exactly where its origin puts them.
        for x, y in ((SPLASH_LEFT, 192), (SPLASH_RIGHT - 1, 192), (320, SPLASH_TOP), (320, SPLASH_BOTTOM - 1),
                     (SPLASH_LEFT, SPLASH_TOP), (SPLASH_RIGHT - 1, SPLASH_BOTTOM - 1)):
            self.assertEqual(at(x, y), SPLASH_FRAME, (x, y))
        self.assertEqual(at(SPLASH_LEFT + 20, 100), SPLASH_FIELD)

    def test_opens_on_the_white_splash_room_with_its_picture(self):
        r, img = self.capture()
        lines = r.debug_lines()
        self.assertIn("Loaded File " + os.path.realpath(EMBEDDED), lines)
        self.assertIn("Preparing 16 objects:", lines)
        self.assertSplash(img)

    def test_a_game_file_given_to_it_is_not_played_with_its_compiled_events(self):
        # A red room whose create event names the splash controller's entry:
        # bound to the program's table it would run the game's own code.
        path = self.pack(compiled_game(44))
        r, img = self.capture(["-game", path])
        lines = r.debug_lines()
        self.assertIn("Loaded File " + os.path.realpath(EMBEDDED), lines)
        self.assertIn("Playing the built-in game, not " + path, lines)
        self.assertNotIn("Reading File " + path, lines)
        self.assertSplash(img)


class FixtureRunnerBinding(RunnerTest):
    """tw-fixture-runner carries a table of 24 logging events and no container."""

    def setUp(self):
        super().setUp()
        if not FIXTURE:
            self.skipTest("TW_FIXTURE_RUNNER not set")

    def test_binds_its_table_to_the_game_file(self):
        path = self.pack(compiled_game(0))
        r = self.run_runner(["-game", path], program=FIXTURE)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertIn("Create obj_probe 100001", r.stdout)

    def test_refuses_a_code_index_outside_its_table(self):
        for code, shown in ((24, "24"), (1000, "1000"), (0x7FFFFFFF, "2147483647"), (-2, "-2")):
            with self.subTest(code=code):
                path = self.pack(compiled_game(code))
                r = self.run_runner(["-game", path], program=FIXTURE)
                self.assertEqual(r.returncode, 1, r.stderr)
                self.assertIn("names code entry " + shown + ", but the code table has 24 entries", r.stderr)
                # Nothing of the game ran: no event, no room.
                self.assertNotIn("obj_probe", r.stdout)
                self.assertNotIn("Run_Start", r.debug_lines())


if __name__ == "__main__":
    unittest.main()
