"""INI files as a game sees them: a file written by Python's configparser
reads; what the game saves lands in its save area, keeps the order of the
sections and keys, and reads back in configparser; the save area's copy of a
file wins over the game's own; options.ini is logged at start-up."""

import configparser
import os

from twtest import RunnerTest, one_event_game

DISPLAY = "Ini Game"


class IniFiles(RunnerTest):
    def play(self, code):
        _, lines = self.play_output(one_event_game(DISPLAY, code))
        return "\n".join(lines)

    def save_area(self, *parts):
        return self.path(".local", "share", DISPLAY, *parts)

    def said(self, out, prefix):
        return [line[len(prefix):] for line in out.splitlines() if line.startswith(prefix)]

    def test_configparser_file_in_and_out(self):
        written = configparser.RawConfigParser()
        written["player one"] = {"name": "Ann Lee", "path": "C:\\games\\save", "equation": "a=b",
                                 "greeting": "caf\u00e9", "level": "7"}
        written["audio"] = {"volume": "0.75", "muted": "0"}
        with open(self.path("settings.ini"), "w", encoding="utf-8") as f:
            written.write(f)
        with open(self.path("settings.ini"), "rb") as f:
            original = f.read()

        out = self.play(
            'ini_open("settings.ini");'
            ' show_debug_message("name <" + ini_read_string("player one", "name", "?") + ">");'
            ' show_debug_message("path <" + ini_read_string("player one", "path", "?") + ">");'
            ' show_debug_message("equation <" + ini_read_string("player one", "equation", "?") + ">");'
            ' show_debug_message("greeting <" + ini_read_string("player one", "greeting", "?") + ">");'
            ' show_debug_message("level " + string(ini_read_real("player one", "level", -1) + 1));'
            ' show_debug_message("volume " + string(ini_read_real("audio", "volume", -1)));'
            ' show_debug_message("missing " + string(ini_read_real("audio", "Volume", -1)));'
            ' ini_write_real("audio", "volume", 0.0000001);'
            ' ini_write_string("player one", "motto", "x = y; z");'
            ' ini_write_string("player one", "padded", "  both  ");'
            ' ini_write_string("added", "empty", "");'
            ' ini_key_delete("audio", "muted");'
            ' ini_close();'
            ' ini_open("settings.ini");'
            ' show_debug_message("motto <" + ini_read_string("player one", "motto", "?") + ">");'
            ' show_debug_message("padded <" + ini_read_string("player one", "padded", "?") + ">");'
            ' show_debug_message("empty " + string(ini_key_exists("added", "empty")));'
            ' show_debug_message("muted " + string(ini_key_exists("audio", "muted")));'
            ' ini_close();')
        self.assertEqual(self.said(out, "name "), ["<Ann Lee>"])
        self.assertEqual(self.said(out, "path "), ["<C:\\games\\save>"])
        self.assertEqual(self.said(out, "equation "), ["<a=b>"])
        self.assertEqual(self.said(out, "greeting "), ["<caf\u00e9>"])
        self.assertEqual(self.said(out, "level "), ["8"])
        self.assertEqual(self.said(out, "volume "), ["0.75"])
        self.assertEqual(self.said(out, "missing "), ["-1"])  # names keep their letter case
        self.assertEqual(self.said(out, "motto "), ["<x = y; z>"])
        self.assertEqual(self.said(out, "padded "), ["<  both  >"])
        self.assertEqual(self.said(out, "empty "), ["1"])
        self.assertEqual(self.said(out, "muted "), ["0"])

        # The game's own file is untouched; the save area has the new one.
        with open(self.path("settings.ini"), "rb") as f:
            self.assertEqual(f.read(), original)
        with open(self.save_area("settings.ini"), "rb") as f:
            saved = f.read()
        self.assertEqual(saved.decode("utf-8").split("\r\n"), [
            "[player one]", "name=Ann Lee", "path=C:\\games\\save", "equation=a=b", "greeting=caf\u00e9",
            "level=7", 'motto="x = y; z"', 'padded="  both  "',
            "[audio]", "volume=1e-07",
            "[added]", 'empty=""', ""])

        back = configparser.RawConfigParser()
        back.read_string(saved.decode("utf-8"))
        self.assertEqual(back.sections(), ["player one", "audio", "added"])
        self.assertEqual(list(back["player one"]),
                         ["name", "path", "equation", "greeting", "level", "motto", "padded"])
        self.assertEqual(back["player one"]["equation"], "a=b")
        self.assertEqual(float(back["audio"]["volume"]), 1e-7)

    def test_the_save_areas_copy_wins(self):
        with open(self.path("cfg.ini"), "w") as f:
            f.write("[s]\nk=bundle\nonly=here\n")
        os.makedirs(self.save_area())
        with open(self.save_area("cfg.ini"), "w") as f:
            f.write("[s]\nk=saved\n")
        out = self.play('ini_open("cfg.ini");'
                        ' show_debug_message("k " + ini_read_string("s", "k", "?"));'
                        ' show_debug_message("only " + ini_read_string("s", "only", "?"));'
                        ' ini_close();')
        self.assertEqual(self.said(out, "k "), ["saved"])
        self.assertEqual(self.said(out, "only "), ["?"])

    def test_a_name_outside_the_sandbox_is_never_written(self):
        out = self.play('ini_open("../../outside.ini");'
                        ' ini_write_string("s", "k", "v");'
                        ' show_debug_message("text <" + ini_close() + ">");')
        self.assertIn("Cannot save the INI file ../../outside.ini", out)
        self.assertEqual(self.said(out, "text "), ["<[s]"])  # the text is still given back
        self.assertFalse(os.path.exists(os.path.join(os.path.dirname(self.dir), "outside.ini")))

    def test_options_ini_is_logged_and_read(self):
        with open(self.path("options.ini"), "w") as f:
            f.write("[DEFAULT]\nTrace=0\n")
        out = self.play('show_debug_message("ran");')
        self.assertIn(self.path("options.ini") + " file contents: [DEFAULT]\nTrace=0\n", out)
        self.assertEqual(self.said(out, "ran"), [""])
