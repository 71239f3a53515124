"""Dialogs as a player meets them, answered from TARNWICKE_DIALOG_ANSWERS:
modal dialogs give their answer at once, cancelled ones their defaults;
asynchronous ones open one after another and deliver their answers as
asynchronous events whose async_load holds the results; a file picked in the
save dialog is written exactly where the player chose."""

import os

from twtest import RunnerTest, one_event_game, quoted, read_png

DISPLAY = "Dialog Game"

# Prints every key of async_load with its value, then "|", one line an event.
PRINT_ASYNC = (
    'k = ds_map_find_first(async_load); s = "";'
    ' for (i = 0; i < ds_map_size(async_load); i += 1) {'
    '   s += k + "=" + string(ds_map_find_value(async_load, k)) + "|";'
    '   k = ds_map_find_next(async_load, k); }'
    ' show_debug_message("async " + string(t) + " " + s);')


def async_game(code):
    """One instance: `code` in its create event, async_load printed in its
    dialog event, its step counter t counted in its step event."""
    return "\n".join([
        f'GEN8 version=13 debug=1 name="G" display="{DISPLAY}" width=64 height=64',
        "OPTN",
        'OBJECT "control" depth=0',
        f'  EVENT 0 0 text="{quoted("t = 0; " + code)}"',
        f'  EVENT 3 0 text="{quoted("t += 1;")}"',
        f'  EVENT 7 63 text="{quoted(PRINT_ASYNC)}"',
        "END",
        'ROOM "rm0" width=64 height=64 code=0',
        "  INSTANCE x=0 y=0 object=0 id=100001 code=0",
        "END",
        "EMPTY CODE", "STRG", ""])


class Dialogs(RunnerTest):
    def answers(self, *lines):
        self.env["TARNWICKE_DIALOG_ANSWERS"] = self.write(
            "answers.txt", "".join(line + "\n" for line in lines).encode("utf-8"))

    def said(self, lines, prefix):
        return [line[len(prefix):] for line in lines if line.startswith(prefix)]

    def events(self, lines):
        """[(step, {key: value})] of the async lines, in order."""
        out = []
        for rest in self.said(lines, "async "):
            step, _, pairs = rest.partition(" ")
            out.append((int(step), dict(p.split("=", 1) for p in pairs.split("|") if p)))
        return out

    def test_modal_dialogs_answered_and_cancelled(self):
        self.answers("ok 12.7", "cancel", "ok hello", "cancel", "yes", "no")
        r, lines = self.play_output(one_event_game(DISPLAY, (
            'show_debug_message("int " + string(get_integer("How many?", 3)));'
            ' show_debug_message("int " + string(get_integer("How many?", 4.6)));'
            ' show_debug_message("str <" + get_string("Name?", "x") + ">");'
            ' show_debug_message("str <" + get_string("Name?", 2.5) + ">");'
            ' show_debug_message("yes " + string(show_question("Sure?")));'
            ' show_debug_message("yes " + string(show_question("Sure?")));'
            ' show_debug_message("msg " + string(show_message("a#b")));'
            ' show_debug_message("after " + get_string("Gone?", "d"));')))
        self.assertEqual(self.said(lines, "int "), ["12.70", "5"])
        self.assertEqual(self.said(lines, "str "), ["<hello>", "<>"])
        self.assertEqual(self.said(lines, "yes "), ["1", "0"])
        self.assertEqual(self.said(lines, "msg "), ["1"])
        # The answers are used up: cancelled, so the empty string.
        self.assertEqual(self.said(lines, "after "), [""])
        self.assertIn("Finished dialog - IDOK", lines)
        self.assertIn("Finished dialog - IDCANCEL", lines)
        # The message box's text, its "#" a line break, captioned with the game.
        self.assertIn("a\nb\n", r.stderr)
        self.assertRegex(r.stderr, r"input dialog: [^\n]*: How many\?")

    def test_asynchronous_dialogs_open_in_turn_and_deliver_maps(self):
        self.env["TARNWICKE_FRAMES"] = "12"
        self.answers("ok", "ok", "ok", "yes", "ok Bob", "cancel", "login joe\ta#b", "login \tpw")
        r, lines = self.play_output(async_game(
            'a = show_message_async("one"); b = show_message_async("two"); c = show_message_async("three");'
            ' q = show_question_async("Sure?"); i = get_string_async("Name?", 2.5);'
            ' n = get_integer_async("N?", 4.6); l = get_login_async("joe", "");'
            ' e = get_login_async("", "");'
            ' show_debug_message("ids " + string(a) + " " + string(b) + " " + string(c) + " " + string(q)'
            '   + " " + string(i) + " " + string(n) + " " + string(l) + " " + string(e));'))
        [ids] = self.said(lines, "ids ")
        ids = [str(int(x)) for x in ids.split()]
        self.assertEqual(len(set(ids)), 8)
        events = self.events(lines)
        # One dialog at a time: each answer arrives a step after the one before.
        steps = [step for step, _ in events]
        self.assertEqual(steps, list(range(steps[0], steps[0] + 8)))
        maps = [m for _, m in events]
        self.assertEqual([str(int(float(m["id"]))) for m in maps], ids)
        for m in maps[:3]:
            self.assertEqual(set(m), {"id", "status"})
            self.assertEqual(m["status"], "1")
        self.assertEqual((maps[3]["result"], maps[3]["value"], maps[3]["status"]), ("1", "1", "1"))
        self.assertEqual((maps[4]["result"], maps[4]["value"], maps[4]["status"]), ("Bob", "0", "1"))
        self.assertEqual((maps[5]["result"], maps[5]["value"], maps[5]["status"]), ("", "0", "0"))
        self.assertEqual(maps[6], {"id": maps[6]["id"], "username": "joe", "password": "a#b", "status": "4"})
        self.assertEqual(maps[7], {"id": maps[7]["id"], "username": "", "password": "pw", "status": "0"})
        # The dialogs opened oldest first; the input's real default was
        # rounded halves to even.
        order = [r.stderr.find(": " + t) for t in ("one", "two", "three", "Sure?", "Name?", "N?")]
        self.assertEqual(order, sorted(order))
        self.assertNotIn(-1, order)
        self.assertIn("Finished dialog - IDOK", lines)

    def test_saved_file_goes_exactly_where_the_player_chose(self):
        outside = self.path("elsewhere", "deep")
        os.makedirs(outside)
        self.answers("ok " + os.path.join(outside, "name"), "cancel")
        _, lines = self.play_output(one_event_game(DISPLAY, (
            'p = get_save_filename("Text|*.txt", "name"); show_debug_message("path " + p);'
            ' f = file_text_open_write(p); file_text_write_string(f, "chosen"); file_text_close(f);'
            ' show_debug_message("open <" + get_open_filename("Text|*.txt", "") + ">");')))
        target = os.path.join(outside, "name.txt")
        self.assertEqual(self.said(lines, "path "), [target])
        self.assertEqual(self.said(lines, "open "), ["<>"])
        with open(target, encoding="utf-8") as f:
            self.assertEqual(f.read(), "chosen")


class DrawnHighScores(RunnerTest):
    def test_names_start_at_the_left_and_scores_end_at_the_right(self):
        self.pack("\n".join([
            'GEN8 version=13 debug=1 name="H" display="H" width=200 height=120 flags=0',
            "OPTN",
            'OBJECT "table" depth=0',
            f'  EVENT 0 0 text="{quoted("highscore_clear(); highscore_add(chr(87) + chr(87), 12345);")}"',
            f'  EVENT 8 0 text="{quoted("draw_set_colour(16777215); draw_highscore(10, 10, 190, 110);")}"',
            "END",
            'ROOM "rm" width=200 height=120 colour=0 show_colour=1 speed=30',
            "  INSTANCE x=0 y=0 object=0 id=100001",
            "END", "EMPTY CODE", "STRG", ""]))
        self.env["TARNWICKE_CAPTURE_FRAME"] = "2"
        self.env["TARNWICKE_CAPTURE_FILE"] = self.path("frame-%d.png")
        r = self.run_runner(["-game", "game.win"])
        self.assertEqual(r.returncode, 0, r.stderr)
        width, height, rows = read_png(self.path("frame-2.png"))

        def lit_columns(y0, y1):
            return sorted({x for y in range(y0, y1) for x in range(width) if rows[y][x][0] > 128})

        first = lit_columns(10, 20)
        second = lit_columns(20, 30)
        self.assertTrue(first and second)
        # The name starts at x1; the score ends at x2 on every row.
        self.assertLessEqual(abs(first[0] - 10), 2)
        self.assertLessEqual(abs(first[-1] - 189), 2)
        self.assertLessEqual(abs(second[-1] - 189), 2)
        self.assertEqual(lit_columns(0, 10), [])
        everything = lit_columns(0, height)
        self.assertGreaterEqual(everything[0], 8)
        self.assertLessEqual(everything[-1], 191)
        # "12345" is wider than the "0" of an empty place.
        right_first = [x for x in first if x > 100]
        right_second = [x for x in second if x > 100]
        self.assertLess(right_first[0], right_second[0])


class ShownErrors(RunnerTest):
    def test_an_error_goes_on_and_a_fatal_one_ends_the_game(self):
        self.env["TARNWICKE_ERROR_ANSWER"] = "ignore"
        r, lines = self.play_output(one_event_game(DISPLAY, (
            'show_error("first trouble", false); show_debug_message("went on");')))
        self.assertIn("first trouble", r.stderr)
        self.assertIn("went on", lines)
        path = self.pack(one_event_game(DISPLAY, 'show_error("fatal trouble", true); show_debug_message("never");'))
        r = self.run_runner(["-game", path, "-output", self.path("fatal.txt")])
        self.assertNotEqual(r.returncode, 0)
        self.assertIn("fatal trouble", r.stderr)
        with open(self.path("fatal.txt"), encoding="utf-8", errors="replace") as f:
            self.assertNotIn("never", f.read().splitlines())
