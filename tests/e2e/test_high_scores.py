"""The high-score table across runs: a game adds scores, the table is saved in
"hiscore.dat" in the save area when the game ends, in the layout Python's
struct reads, and a second run reads it back; a damaged file gives the empty
table; a table that was only cleared is not written."""

import os
import struct

from twtest import RunnerTest, one_event_game

DISPLAY = "Score Game"

PRINT = ('for (i = 1; i <= 10; i += 1)'
         ' show_debug_message("place " + string(i) + " <" + highscore_name(i) + "> "'
         ' + string(highscore_value(i)));')


def hiscore(entries):
    """The file for (name bytes, score) pairs, places 1 to 10."""
    body = b"".join(struct.pack("<I", len(n)) + n + struct.pack("<i", s) for n, s in entries)
    return b"HISC" + struct.pack("<I", 8 + len(body)) + body


def read_hiscore(data):
    magic, length = struct.unpack_from("<4sI", data, 0)
    entries, pos = [], 8
    for _ in range(10):
        (n,) = struct.unpack_from("<I", data, pos)
        name = data[pos + 4:pos + 4 + n]
        (score,) = struct.unpack_from("<i", data, pos + 4 + n)
        entries.append((name, score))
        pos += 8 + n
    return magic, length, pos, entries


class HighScores(RunnerTest):
    def play(self, code):
        r, lines = self.play_output(one_event_game(DISPLAY, code))
        return r, [line[6:] for line in lines if line.startswith("place ")]

    def hiscore_path(self):
        return self.path(".local", "share", DISPLAY, "hiscore.dat")

    def test_the_table_survives_a_restart(self):
        self.assertFalse(os.path.exists(os.path.dirname(self.hiscore_path())))
        _, table = self.play('highscore_add("Ann", 300); highscore_add("Bob", 450);'
                             ' highscore_add("", 10); highscore_add("Ann", 300);'
                             ' highscore_add("' + "x" * 300 + '", 5);')
        self.assertEqual(table, [])
        with open(self.hiscore_path(), "rb") as f:
            data = f.read()
        magic, length, end, entries = read_hiscore(data)
        self.assertEqual((magic, length, end), (b"HISC", len(data), len(data)))
        self.assertEqual(entries[:6], [(b"Bob", 450), (b"Ann", 300), (b"Ann", 300), (b"", 10), (b"x" * 256, 5),
                                       (b"<nobody>", 0)])

        _, table = self.play(PRINT)
        self.assertEqual(table[:6], ["1 <Bob> 450", "2 <Ann> 300", "3 <Ann> 300", "4 <> 10",
                                     "5 <" + "x" * 256 + "> 5", "6 <<nobody>> 0"])
        self.assertEqual(table[9], "10 <<nobody>> 0")

        # Cleared, never added to: the file stays as it was.
        _, table = self.play("highscore_clear();" + PRINT)
        self.assertEqual(table[0], "1 <<nobody>> 0")
        with open(self.hiscore_path(), "rb") as f:
            self.assertEqual(f.read(), data)

    def test_a_file_written_elsewhere_reads(self):
        os.makedirs(os.path.dirname(self.hiscore_path()))
        entries = [("Zo\u00eb".encode(), 1000), (b"", 10), (b"nl", 10)] + [(b"p%d" % i, -i) for i in range(7)]
        with open(self.hiscore_path(), "wb") as f:
            f.write(hiscore(entries))
        _, table = self.play(PRINT)
        self.assertEqual(table[:4], ["1 <Zo\u00eb> 1000", "2 <> 10", "3 <nl> 10", "4 <p0> 0"])
        self.assertEqual(table[9], "10 <p6> -6")

    def test_a_damaged_file_gives_the_empty_table(self):
        os.makedirs(os.path.dirname(self.hiscore_path()))
        good = hiscore([(b"name%d" % i, 100 - i) for i in range(10)])
        damaged = {
            "short": good[:-2],
            "magic": b"HISK" + good[4:],
            "length": good[:4] + struct.pack("<I", len(good) + 9) + good[8:],
            "name length": good[:8] + struct.pack("<I", 300) + good[12:],
            "garbage": bytes(range(256)) * 3,
        }
        for what, data in damaged.items():
            with self.subTest(what):
                with open(self.hiscore_path(), "wb") as f:
                    f.write(data)
                r, table = self.play(PRINT)
                self.assertEqual(table, ["%d <<nobody>> 0" % p for p in range(1, 11)])
                self.assertIn("hiscore.dat is damaged", r.stderr)
