"""The built-in game played whole from a recording, headless: splash, fade,
menu, level selection, the countdown, a match to ten points, the result
room, back to the level selection and the menu, and out with status 0.
The recordings are made here from the key scripts of game_inputs/ (see
game_keys.py); the rooms, the countdown's colours, the score line and the
level preview are read from captured frames, and each recording is played
twice to show that the run is the same every time."""

import os
import sys
import unittest

from game_keys import KeyScript
from twtest import EMBEDDED, RunnerTest, read_png

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "game"))
import make_game  # noqa: E402  (the game's own layouts and pictures)

ROOMS = [name for name, _, _ in make_game.rooms()]
BLOCKS = {name: set(make_game.room_blocks(name)) for name in ROOMS if name != "Gamestart"}
BRICK_FACE = (120, 120, 135)
RED, YELLOW, GREEN = (255, 0, 0), (255, 255, 0), (0, 128, 0)
ENTER, UP = 13, 38
# The countdown words are drawn about (288, 192); the score line at (280, 0).
WORDS_BOX = (270, 170, 400, 270)
SCORE_BOX = (260, 0, 420, 32)


def room_of(img):
    """The room a frame shows: the splash by its white (or fading) room,
    the others by which cells hold wall blocks."""
    _, _, px = img
    corner = px[0][0][:3]
    if corner[0] == corner[1] == corner[2] and corner[0] > 0:
        return "Gamestart"
    blocks = {(c, r) for r in range(make_game.ROWS) for c in range(make_game.COLS)
              if px[r * 32 + 4][c * 32 + 4][:3] == BRICK_FACE}
    cells = make_game.ROWS * make_game.COLS
    best = max(BLOCKS, key=lambda name: cells - len(blocks ^ BLOCKS[name]))
    return best if cells - len(blocks ^ BLOCKS[best]) >= 0.95 * cells else None


def colours_in(img, box):
    _, _, px = img
    x0, y0, x1, y1 = box
    return {px[y][x][:3] for y in range(y0, y1) for x in range(x0, x1)}


def region(img, box):
    _, _, px = img
    x0, y0, x1, y1 = box
    return [[p[:3] for p in row[x0:x1]] for row in px[y0:y1]]


class PlayedGame(RunnerTest):
    script_name = None
    level = None
    result_room = None

    @classmethod
    def setUpClass(cls):
        if cls.script_name is None:
            raise unittest.SkipTest("base class")

    def setUp(self):
        super().setUp()
        if not EMBEDDED:
            self.skipTest("TW_EMBEDDED not set")
        self.script = KeyScript.read(os.path.join(HERE, "game_inputs", self.script_name))
        self.level_room = ROOMS.index("level%d" % self.level)
        self.entered = self.script.frames_in(self.level_room)[0][0]

    def frames_to_check(self):
        s, e = self.script, self.entered
        frames = {f for f, _ in s.rooms} | {f - 1 for f, _ in s.rooms if f > 1}
        frames |= {e, e + 1, e + 59, e + 60, e + 119, e + 120, e + 178}
        frames |= {s.scores[0][0] - 1, s.scores[0][0], s.scores[-1][0]}
        frames |= self.splash_enter() | self.preview_frames().keys()
        return sorted(frames)

    def splash_enter(self):
        return {f for f, verb, key in self.script.keys if verb == "down" and key == ENTER and f < self.script.rooms[1][0]}

    def preview_frames(self):
        """Frame -> the level whose preview it shows: the last frame before
        the level starts, and each frame after an Up press."""
        start, last = self.script.frames_in(ROOMS.index("Choose_Level"))[0]
        shown = {last: self.level}
        ups = [f for f, verb, key in self.script.keys if verb == "down" and key == UP and start <= f <= last]
        for n, f in enumerate(ups):
            shown[f] = min(2 + n, 9)
        return shown

    def play(self, tag):
        rec = self.write("game.rec", self.script.playback())
        frames = self.frames_to_check()
        self.env.pop("TARNWICKE_FRAMES", None)
        self.env.update({"TARNWICKE_CAPTURE_FRAME": ",".join(map(str, frames)),
                         "TARNWICKE_CAPTURE_FILE": self.path(tag + "-%d.png")})
        r = self.run_runner(["-playback", rec], program=EMBEDDED, timeout=900)
        self.assertEqual(r.returncode, self.script.end[1], r.stderr)
        files = {}
        for f in frames:
            with open(self.path("%s-%d.png" % (tag, f)), "rb") as fh:
                files[f] = fh.read()
        return files

    def test_plays_through_and_again_the_same(self):
        first = self.play("a")
        images = {}

        def frame(n):
            if n not in images:
                images[n] = read_png(self.path("a-%d.png" % n))
            return images[n]

        s = self.script
        # The rooms, in the order a player goes through them, each from the
        # frame its mark gives (and not a frame earlier).
        self.assertEqual([ROOMS[i] for _, i in s.rooms],
                         ["Gamestart", "Menu", "Choose_Level", "level%d" % self.level, self.result_room,
                          "Choose_Level", "Menu"])
        previous = None
        for f, index in s.rooms:
            self.assertEqual(room_of(frame(f)), ROOMS[index], "frame %d" % f)
            if previous is not None:
                self.assertEqual(room_of(frame(f - 1)), previous, "frame %d" % (f - 1))
            previous = ROOMS[index]

        # Enter on the splash starts the fade at half black; it is nearly
        # black on its last frame.
        (enter,) = self.splash_enter()
        self.assertIn(frame(enter)[2][0][0][0], (127, 128))
        self.assertLess(frame(s.rooms[1][0] - 1)[2][0][0][0], 16)

        # The level preview follows the selection (level 2's picture is the
        # second sprite in the game's order, not the first).
        for f, level in sorted(self.preview_frames().items()):
            want = make_game.preview(level)
            got = region(frame(f), (160, 40, 480, 280))
            self.assertTrue(all(got[y][x] == tuple(want.px[y * want.w + x][:3])
                                for y in range(0, 240, 3) for x in range(0, 320, 3)),
                            "frame %d: not level %d's preview" % (f, level))

        # The countdown: nothing on the first frame, then a second each of
        # red "Ready", yellow "Set" and green "GO".
        e = self.entered
        for f, colour in ((e, None), (e + 1, RED), (e + 59, RED), (e + 60, YELLOW), (e + 119, YELLOW),
                          (e + 120, GREEN), (e + 178, GREEN)):
            seen = colours_in(frame(f), WORDS_BOX) & {RED, YELLOW, GREEN}
            self.assertEqual(seen, {colour} if colour else set(), "frame %d" % f)

        # The score line: black, from (280, 0), on the top wall.
        _, _, px = frame(e + 1)
        dark = [(x, y) for y in range(0, 32) for x in range(0, 640) if sum(px[y][x][:3]) < 60]
        self.assertTrue(dark)
        self.assertTrue(280 <= min(x for x, _ in dark) <= 284, min(x for x, _ in dark))
        self.assertLess(max(x for x, _ in dark), 380)
        # Each goal changes it on the frame that scores, and only then.
        for (_, a1, b1), (_, a2, b2) in zip(s.scores, s.scores[1:]):
            self.assertEqual((a2 - a1) + (b2 - b1), 1)
        final = s.scores[-1][1:]
        self.assertEqual(max(final), 10)
        self.assertEqual(final[0] == 10, self.result_room == "Winroom")
        goal = s.scores[0][0]
        self.assertNotEqual(region(frame(goal - 1), SCORE_BOX), region(frame(goal), SCORE_BOX))
        self.assertEqual(region(frame(goal - 1), SCORE_BOX), region(frame(e + 1), SCORE_BOX))
        self.assertNotEqual(region(frame(s.scores[-1][0]), SCORE_BOX), region(frame(goal), SCORE_BOX))

        # The same recording gives the same frames again.
        self.assertEqual(self.play("b"), first)


class WonMatch(PlayedGame):
    """Level 9 (Up eight times, and once more to no effect), easy: the
    player returns the ball until ten points."""
    script_name = "win.keys"
    level = 9
    result_room = "Winroom"


class LostMatch(PlayedGame):
    """Level 1 on hard; the paddle never moves."""
    script_name = "lose.keys"
    level = 1
    result_room = "Loseroom"


if __name__ == "__main__":
    unittest.main()
