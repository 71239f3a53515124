"""Buffers as a game's script uses them: a buffer saved into the save area
holds exactly the bytes written; files the player's save area or the game's
own directory hold load into buffers whose digests and base64 text agree
with Python's hashlib and base64; failures are reported and the game goes on."""

import base64
import hashlib
import os
import struct

from test_tws_programs import game
from twtest import RunnerTest


class Buffers(RunnerTest):
    def run_game(self, main):
        text = self.game_output(game(main + "\ngame_end();\n"))
        # The script marks its own lines; reported errors stand between them.
        return [line[2:] for line in text.splitlines() if line.startswith("> ")], text

    def save_area(self, *parts):
        return os.path.join(self.env["XDG_DATA_HOME"], "P", *parts)

    def test_a_saved_buffer_holds_the_bytes_written(self):
        lines, output = self.run_game("""
var b;
b = buffer_create(19, 0, 1);
buffer_write(b, 1, 200);
buffer_write(b, 4, -2);
buffer_write(b, 5, 3735928559);
buffer_write(b, 9, 1.5);
buffer_write(b, 11, "tw");
buffer_write(b, 10, 1);
show_debug_message("> full " + string(buffer_write(b, 1, 1)));
show_debug_message("> saved " + string(buffer_save(b, "out/data.bin")));
show_debug_message("> part " + string(buffer_save_ext(b, "part.bin", 3, 4)));
show_debug_message("> refused " + string(buffer_save(b, "../../escape.bin")));
""")
        self.assertEqual(lines, ["full -2", "saved 0", "part 0", "refused -1"])
        want = struct.pack("<B", 200) + struct.pack("<h", -2) + struct.pack("<I", 0xDEADBEEF) + \
            struct.pack("<d", 1.5) + b"tw\0" + b"\x01"
        with open(self.save_area("out", "data.bin"), "rb") as f:
            self.assertEqual(f.read(), want)
        with open(self.save_area("part.bin"), "rb") as f:
            self.assertEqual(f.read(), want[3:7])
        self.assertFalse(os.path.exists(os.path.join(self.env["XDG_DATA_HOME"], "escape.bin")))
        self.assertIn('buffer_save: cannot save "../../escape.bin": file name refused', output)

    def test_files_load_from_the_save_area_and_the_game_directory(self):
        saved = bytes((i * 37 + 11) % 256 for i in range(1000))
        bundled = b"from the game's own directory"
        os.makedirs(self.save_area(), exist_ok=True)
        with open(self.save_area("in.bin"), "wb") as f:
            f.write(saved)
        self.write("bundled.bin", bundled)
        lines, output = self.run_game("""
var b, c, w, i;
b = buffer_load("in.bin");
show_debug_message("> " + string(buffer_get_size(b)) + " " + buffer_md5(b, 0, -1) + " " + buffer_sha1(b, 0, -1));
show_debug_message("> " + buffer_base64_encode(b, 0, -1));
c = buffer_load("bundled.bin");
show_debug_message("> " + buffer_read(c, 11));
show_debug_message("> missing " + string(buffer_load("nowhere.bin")));
show_debug_message("> ext " + string(buffer_load_ext(c, "nowhere.bin", 0)));
w = buffer_create(7, 2, 1);
for (i = 0; i < 7; i += 1) buffer_write(w, 1, i * 40);
show_debug_message("> " + buffer_md5(w, 5, 20) + " " + buffer_sha1(w, -3, 9));
""")
        wrap = bytes(i * 40 % 256 for i in range(7))
        around = lambda start, n: bytes(wrap[(start + k) % 7] for k in range(n))
        self.assertEqual(lines, [
            "1000 %s %s" % (hashlib.md5(saved).hexdigest(), hashlib.sha1(saved).hexdigest()),
            base64.b64encode(saved).decode(),
            bundled.decode(),
            "missing -1",
            "ext -1",
            "%s %s" % (hashlib.md5(around(5, 20)).hexdigest(), hashlib.sha1(around(4, 9)).hexdigest()),
        ])
        # The failures were reported, and the game went on past them.
        self.assertIn("\nCannot load buffer file\n", output)
        self.assertIn('\nbuffer_load_ext: cannot load "nowhere.bin": file not found\n', output)
