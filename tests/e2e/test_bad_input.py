"""Damaged or hostile game data ends with a clear message and exit status 1,
never a crash."""

import os

from twtest import RunnerTest, chunk_body, get_u32, put_u32, read_chunks

GOOD = """
GEN8 version=13 debug=1 name="Bad" display="Bad" rooms=0,1
OPTN const.A="1"
RAW SPRT 0100000000000000
ROOM "r0" code=0
END
ROOM "r1" code=0
END
STRG
"""


class BadInput(RunnerTest):
    def good_bytes(self):
        with open(self.pack(GOOD, name="good.win"), "rb") as f:
            return f.read()

    def check_refused(self, data, expect_in_message, name="bad.win"):
        self.write(name, data)
        r = self.run_runner(["-game", name])
        self.assertEqual(r.returncode, 1, "stdout:\n%s\nstderr:\n%s" % (r.stdout, r.stderr))
        self.assertIn(expect_in_message, r.stderr)
        # The same words reach the debug console.
        self.assertIn(r.stderr.strip().splitlines()[-1], "\n".join(r.debug_lines()))
        self.assertNotIn("Run_Start", r.debug_lines())
        return r

    def test_damaged_containers(self):
        good = self.good_bytes()
        sprt, _ = chunk_body(good, "SPRT")
        gen8, _ = chunk_body(good, "GEN8")
        optn, _ = chunk_body(good, "OPTN")
        first_chunk_len = read_chunks(good)[0][1] + 4
        cases = [
            ("empty file", b"", "is empty"),
            ("not FORM", b"JUNK" + good[4:], "does not start with FORM"),
            ("too short for a header", b"FORM", "too short"),
            ("length word too small", put_u32(good, 4, len(good) - 9), "length word"),
            ("length word too large", put_u32(good, 4, len(good)), "length word"),
            ("chunk past the end", put_u32(good, first_chunk_len, len(good)), "runs past the end"),
            ("chunk length wraps", put_u32(good, first_chunk_len, 0xFFFFFFF8), "runs past the end"),
            ("counted list outside", put_u32(good, sprt + 4, len(good) + 64), "outside the container"),
            ("counted list too long", put_u32(good, sprt, 0x10000000), "more than its body holds"),
            ("string reference outside", put_u32(good, gen8 + 4, 0xFFFFFFF0), "string reference"),
            ("room order count too large", put_u32(good, gen8 + 4 * 31, 1000), "room order"),
            ("constant count too large", put_u32(good, optn + 4 * 35, 0x7FFFFFFF), "constants"),
        ]
        for what, data, message in cases:
            with self.subTest(what):
                self.check_refused(data, message)

    def test_foreign_chunk_loads_the_rest_then_fails(self):
        data = self.good_bytes()
        # Rename the sprite chunk to a tag nobody loads.
        body, _ = chunk_body(data, "SPRT")
        data = data[:body - 8] + b"WHAT" + data[body - 4:]
        r = self.check_refused(data, "Failed to load the game")
        lines = r.debug_lines()
        self.assertIn("unknown Chunk WHAT:%d" % get_u32(b"WHAT", 0), lines)
        # The walk went on past it.
        self.assertIn("Process Chunk: STRG   %d" % chunk_body(data, "STRG")[1], lines)

    def test_missing_game_file(self):
        r = self.run_runner(["-game", "nowhere.win"])
        self.assertEqual(r.returncode, 1)
        self.assertIn("Cannot read the game data file %s" % self.path("nowhere.win"), r.stderr)
        self.assertIn("FAILED to load File " + self.path("nowhere.win"), r.debug_lines())

    def test_directory_given_as_the_game(self):
        os.makedirs(self.path("adir.win"))
        r = self.run_runner(["-game", "adir.win"])
        self.assertEqual(r.returncode, 1)
        self.assertIn("Is a directory", r.stderr)

    def test_no_game_at_all(self):
        r = self.run_runner([])
        self.assertEqual(r.returncode, 1)
        self.assertIn("No game data file", r.stderr)

    def test_cancelled_file_dialog(self):
        self.env["TARNWICKE_CHOOSE_FILE"] = ""
        r = self.run_runner([])
        self.assertEqual(r.returncode, 1)
        self.assertIn("No game data file", r.stderr)

    def test_file_chosen_in_the_dialog_is_played(self):
        self.pack(GOOD, name="chosen.win")
        self.env["TARNWICKE_CHOOSE_FILE"] = self.path("chosen.win")
        r = self.run_runner([])
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertIn("RunnerLoadGame() - " + self.path("chosen.win"), r.debug_lines())
