"""A game's own file handling as the player sees it: every read form of the
text, binary and current-file built-ins on files Python made, every write
form checked byte for byte by Python, names that try to leave the game's
places, the registry store across two runs, and the command line."""

import os

from twtest import RunnerTest, quoted

NAME = "FileGame"


def game(code):
    """One object whose create event runs `code`, in one room."""
    return "\n".join([
        f'GEN8 version=13 debug=1 name="{NAME}" display="{NAME}" width=64 height=64 last_instance=100001',
        "OPTN",
        'OBJECT "runner" depth=0',
        f'  EVENT 0 0 text="{quoted(code)}"',
        "END",
        'ROOM "rm" width=64 height=64 code=0',
        "  INSTANCE x=0 y=0 object=0 id=100001 code=0",
        "END",
        "EMPTY CODE", "STRG", ""])


# Shows a text with its line ends visible.
SHOW = 'show_debug_message(argument0 + "=" + string_replace_all(string_replace_all(argument1, chr(13), "<CR>"), chr(10), "<LF>"));'


class Files(RunnerTest):
    def setUp(self):
        super().setUp()
        self.env["TARNWICKE_FRAMES"] = "2"
        self.area = os.path.join(self.dir, ".local", "share", NAME)

    def play(self, code):
        # A script of our own shows texts with visible line ends.
        source = game(code).replace(
            "EMPTY CODE", f'SCRIPT "show" text="{quoted(SHOW)}"\nEMPTY CODE')
        _, lines = self.play_output(source)
        return [l for l in lines if not l.startswith("Invalid Save location(")]

    def saved(self, name):
        with open(os.path.join(self.area, name), "rb") as f:
            return f.read()

    def test_every_read_form_on_files_python_made(self):
        self.write("lines.txt", b"\xef\xbb\xbfab\r\ncd\n12.5 -7e1\nlast")
        self.write("bytes.bin", bytes(range(256)))
        os.makedirs(self.area)
        with open(os.path.join(self.area, "saved.txt"), "wb") as f:
            f.write(b"saved copy\r\n")
        with open(os.path.join(self.dir, "saved.txt"), "wb") as f:
            f.write(b"game copy\r\n")
        with open(os.path.join(self.dir, "current.txt"), "wb") as f:
            f.write(b"one\r\ntwo\r\n3.25")
        lines = self.play("\n".join([
            'f = file_text_open_read("lines.txt");',
            'show("string", file_text_read_string(f));',
            'show("eoln", string(file_text_eoln(f)));',
            'show("readln", file_text_readln(f));',
            'show("readln", file_text_readln(f));',
            'show("real", string(file_text_read_real(f)));',
            'show("real", string(file_text_read_real(f)));',
            'show("readln", file_text_readln(f));',
            'show("eof", string(file_text_eof(f)));',
            'show("string", file_text_read_string(f));',
            'show("eof", string(file_text_eof(f)));',
            'file_text_close(f);',
            'f = file_text_open_read("saved.txt");',
            'show("saved", file_text_read_string(f));',
            'file_text_close(f);',
            'b = file_bin_open("bytes.bin", 0);',
            'show("size", string(file_bin_size(b)));',
            's = 0; for (i = 0; i < 256; i += 1) s += file_bin_read_byte(b) * (i + 1);',
            'show("sum", string(s));',
            'file_bin_seek(b, 200);',
            'show("at200", string(file_bin_read_byte(b)));',
            'show("position", string(file_bin_position(b)));',
            'file_bin_close(b);',
            'file_open_read("current.txt");',
            'show("cur", file_read_string());',
            'show("curln", file_readln());',
            'show("curreal", string(file_read_real()));',
            'show("cureof", string(file_eof()));',
            'file_close();',
        ]))
        said = [l for l in lines if "=" in l and not l.startswith("ERROR")]
        self.assertEqual(said, [
            "string=ab", "eoln=1", "readln=<CR><LF>", "readln=cd<LF>", "real=12.50", "real=-70",
            "readln=<LF>", "eof=0", "string=last", "eof=1",
            "saved=saved copy",
            "size=256", "sum=%d" % sum(i * (i + 1) for i in range(256)), "at200=200", "position=201",
            "cur=one", "curln=two<LF>", "curreal=3.25", "cureof=1",
        ])
        self.assertFalse([l for l in lines if l.startswith("ERROR")], lines)

    def test_every_write_form_lands_in_the_save_area(self):
        self.write("log.txt", b"from the game\n")
        lines = self.play("\n".join([
            'f = file_text_open_write("out/text.txt");',
            "file_text_write_string(f, 'a = \"b\"');",
            'file_text_writeln(f);',
            'file_text_write_real(f, 0.5);',
            'file_text_write_real(f, 1234567);',
            'file_text_close(f);',
            'b = file_bin_open("out/data.bin", 1);',
            'for (i = 255; i >= 0; i -= 1) file_bin_write_byte(b, i);',
            'file_bin_write_byte(b, 513);',
            'file_bin_close(b);',
            'file_open_write("legacy.txt");',
            'file_write_string("x");',
            'file_write_real(0.5);',
            'file_writeln();',
            'file_close();',
            'f = file_text_open_append("log.txt");',
            'file_text_write_string(f, "appended");',
            'file_text_close(f);',
            'f = file_text_open_write("unclosed.txt");',
            'file_text_write_string(f, "still written");',
            'show("escape", string(file_text_open_write("../escape.txt")));',
            'show("absolute", string(file_bin_open("/tmp/tw-e2e-escape.bin", 1)));',
            'file_open_write("../legacy-escape.txt"); file_write_string("no"); file_close();',
        ]))
        self.assertEqual(self.saved("out/text.txt"), b'a = "b"\n0.5 1.23457e+06 ')
        self.assertEqual(self.saved("out/data.bin"), bytes(range(255, -1, -1)) + b"\x01")
        self.assertEqual(self.saved("legacy.txt"), b"x    0.5000\n")
        self.assertEqual(self.saved("log.txt"), b"from the game\nappended")
        with open(self.path("log.txt"), "rb") as f:
            self.assertEqual(f.read(), b"from the game\n", "the game's own file is never changed")
        self.assertEqual(self.saved("unclosed.txt"), b"still written", "what was never closed is written at the end")
        self.assertIn("escape=-1", lines)
        self.assertIn("absolute=-1", lines)
        parent = os.path.dirname(self.dir)
        for name in ("escape.txt", "legacy-escape.txt"):
            self.assertFalse(os.path.exists(os.path.join(parent, name)))
        self.assertFalse(os.path.exists("/tmp/tw-e2e-escape.bin"))

    def test_the_registry_outlives_the_run(self):
        first = self.play('registry_write_string("Player", "Ann"); registry_write_real("best", 12.5);'
                          'show("first", registry_read_string("player"));')
        self.assertIn("first=Ann", first)
        second = self.play('show("name", registry_read_string("PLAYER"));'
                           'show("best", string(registry_read_real("best")));'
                           'show("missing", string(registry_exists("other")));')
        self.assertEqual([l for l in second if "=" in l], ["name=Ann", "best=12.50", "missing=0"])

    def test_the_command_line_and_the_file_system(self):
        self.write("levels/one.lvl", b"1")
        self.write("levels/two.lvl", b"2")
        lines = self.play("\n".join([
            'show("count", string(parameter_count()));',
            'show("first", parameter_string(1));',
            'show("beyond", parameter_string(parameter_count()));',
            'n = file_find_first("levels/*.lvl", 0); s = "";',
            'while (n != "") { s += n + ","; n = file_find_next(); }',
            'file_find_close();',
            'show("found", s);',
            'show("copy", string(file_copy("levels/one.lvl", "copied.lvl")));',
            'show("exists", string(file_exists("copied.lvl")));',
            'show("renamed", string(file_rename("copied.lvl", "renamed.lvl")));',
            'show("deleted", string(file_delete("levels/two.lvl")));',
            'directory_create("saves/slot");',
            'show("dir", string(directory_exists("saves/slot")));',
        ]))
        said = [l for l in lines if "=" in l]
        # The runner was started as: runner -game game.win -output out.txt -debugoutput log
        self.assertEqual(said, ["count=7", "first=-game", "beyond=", "found=one.lvl,two.lvl,",
                                "copy=0", "exists=1", "renamed=1", "deleted=0", "dir=1"])
        self.assertEqual(self.saved("renamed.lvl"), b"1")
        self.assertTrue(os.path.exists(self.path("levels", "two.lvl")))
        self.assertTrue(os.path.isdir(os.path.join(self.area, "saves", "slot")))
