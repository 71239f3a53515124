"""Games written as tw-pack descriptions the way a new user writes them:
source-text code, chunks in any order, ids and room order left out. The
runner must play what the description says."""

import os
import subprocess

from twtest import PACK, RunnerTest, read_png

HERE = os.path.dirname(os.path.abspath(__file__))
EXAMPLE = os.path.join(HERE, "..", "..", "tools", "pack", "examples", "source_game.twp")

RED = (255, 0, 0)
BLACK = (0, 0, 0)


class PackedGames(RunnerTest):
    def play(self, description_path, capture):
        """Packs and plays to the game's own end; returns the result, the
        output lines and the captured frame."""
        game = self.path("game.win")
        subprocess.run([PACK, description_path, "-o", game], check=True, env=self.env)
        # Far more frames than either game needs: a game that does not end
        # by itself fails instead of hanging.
        self.env["TARNWICKE_FRAMES"] = "30"
        self.env["TARNWICKE_CAPTURE_FRAME"] = str(capture)
        self.env["TARNWICKE_CAPTURE_FILE"] = self.path("frame-%d.png")
        out = self.path("out.txt")
        r = self.run_runner(["-game", game, "-output", out])
        with open(out, encoding="utf-8", errors="replace") as f:
            lines = f.read().splitlines()
        frame = self.path("frame-%d.png" % capture)
        self.assertTrue(os.path.exists(frame), "no frame captured:\n" + r.stderr)
        return r, lines, read_png(frame)

    def assertBoxAt(self, picture, left, top, size):
        w, h, rows = picture
        wrong = [(x, y) for y in range(h) for x in range(w)
                 if rows[y][x][:3] != (RED if left <= x < left + size and top <= y < top + size else BLACK)]
        self.assertEqual(wrong[:5], [], "%d pixels differ" % len(wrong))

    def test_the_worked_example_plays_to_its_end(self):
        r, lines, picture = self.play(EXAMPLE, capture=5)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(lines, ["counter ready", "room 0", "alarm after 2 steps", "box 100002 at 40,30",
                                 "around the box: 64", "the end"])
        self.assertBoxAt(picture, 40, 30, 16)

    def test_a_source_game_written_in_an_unusual_order_plays(self):
        # Pages before their entries, rooms before their objects, the pool
        # and the header last but one; no ids, no room order, no room code.
        src = self.write("backwards.twp", b"""\
ROOM "r" width=64 height=48 colour=0
  INSTANCE x=10 y=20 object=0
END
PAGE width=8 height=8 fill=0xFF0000FF
STRG
OBJECT "o" sprite=0
  EVENT ev_create 0 text="steps = 0; show_debug_message(\\"created \\" + string(id));"
  EVENT ev_step ev_step_end text="steps += 1; if (steps == 3) { show_debug_message(\\"end\\"); game_end(); }"
END
SPRITE "s" width=8 height=8 right=7 bottom=7 frames=0
ENTRY width=8 height=8
GEN8 width=64 height=48
OPTN
""")
        r, lines, picture = self.play(src, capture=2)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(lines, ["created 100001", "end"])
        self.assertNotIn("Error attempting to draw sprite", "\n".join(r.debug_lines()))
        self.assertBoxAt(picture, 10, 20, 8)

    def test_packed_fonts_are_read_and_named(self):
        # A solid-glyph font and an empty slot: the runner takes the chunk
        # and a script names the fonts by the indices they stand at.
        src = self.write("fonts.twp", b"""\
FONT "fnt_first"
  GLYPHS "AB" width=4 height=6 fill=0xFFFFFFFF
END
FONT none
FONT "fnt_third" size=20 bold=1 antialias=1
  GLYPH " " advance=5
END
OBJECT "o"
  EVENT ev_create 0 text="show_debug_message(string(fnt_first) + \\",\\" + string(fnt_third)); game_end();"
END
ROOM "r" width=64 height=48 colour=0
  INSTANCE x=0 y=0 object=0
END
GEN8 width=64 height=48
OPTN
""")
        r, lines, _ = self.play(src, capture=1)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(lines, ["0,2"])
