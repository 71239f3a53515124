"""Games that use the game-state actions, run headless: the room sequence the
room actions make and the clean end, the no-more-lives and no-more-health
events in the step that empties them, the score's defined limits, scripts and
the parent's event called through actions, message boxes, web pages opened
only as one argument of the desktop's opener, and sound actions that stay
silent under -noaudio."""

import glob
import os
import time

from twtest import RunnerTest, quoted, sine_wav


def game(objects, rooms, resources=(), options=""):
    """`objects`: (name, keys, [(type, subtype, code)]); `rooms`: (name,
    [object index]) with one instance of each listed object."""
    lines = ['GEN8 version=13 debug=1 name="G" display="actions" width=64 height=64', f"OPTN {options}".strip()]
    for name, keys, events in objects:
        lines.append(f'OBJECT "{name}" {keys}'.strip())
        lines += [f'  EVENT {t} {s} text="{quoted(code)}"' for t, s, code in events]
        lines.append("END")
    for name, instances in rooms:
        lines.append(f'ROOM "{name}" width=64 height=64 speed=30 code=0')
        lines += [f"  INSTANCE x=0 y=0 object={o} code=0" for o in instances]
        lines.append("END")
    return "\n".join(lines + list(resources) + ["EMPTY CODE", "STRG", ""])


class RoomsAndGame(RunnerTest):
    def setUp(self):
        super().setUp()
        self.env["TARNWICKE_FRAMES"] = "60"

    def test_the_room_actions_walk_the_room_order_and_end_game_ends_cleanly(self):
        walker_r2 = ('global.n += 1; show_debug_message("r2 " + string(global.n));'
                     ' if (global.n == 1) action_current_room(0);'
                     ' else if (global.n == 2) action_previous_room(0);'
                     ' else action_end_game();')
        objects = [
            ("a", "", [(7, 2, "global.n = 0;"), (3, 0, 'show_debug_message("r0"); action_next_room(0);')]),
            ("b", "", [(3, 0, 'show_debug_message("r1"); action_another_room(2, 0);')]),
            ("c", "", [(3, 0, walker_r2)]),
        ]
        r, lines = self.play_output(game(objects, [("r0", [0]), ("r1", [1]), ("r2", [2])]))
        self.assertEqual(lines, ["r0", "r1", "r2 1", "r2 2", "r1", "r2 3"])
        self.assertEqual(r.returncode, 0)


class ScoreLivesAndHealth(RunnerTest):
    def setUp(self):
        super().setUp()
        self.env["TARNWICKE_FRAMES"] = "30"

    def test_emptying_lives_or_health_runs_its_event_once_in_that_step(self):
        step = ('t += 1;'
                ' if (t == 3 || t == 4) { action_set_life(0); show_debug_message("lives set at " + string(t)); }'
                ' if (t == 6 || t == 7) { action_set_health(0); show_debug_message("health set at " + string(t)); }'
                ' if (t == 9) game_end();')
        objects = [("control", "", [
            (0, 0, "t = 0; action_set_life(3);"),
            (3, 0, step),
            (7, 6, 'show_debug_message("no lives at " + string(t));'),
            (7, 9, 'show_debug_message("no health at " + string(t));'),
        ])]
        _, lines = self.play_output(game(objects, [("rm0", [0])]))
        self.assertEqual(lines, ["no lives at 3", "lives set at 3", "lives set at 4",
                                 "no health at 6", "health set at 6", "health set at 7"])

    def test_a_huge_score_saturates_instead_of_wrapping(self):
        code = ('action_set_score(power(10, 20)); show_debug_message(string(score));'
                ' action_set_relative(1); action_set_score(1); show_debug_message(string(score));'
                ' action_set_relative(0); action_set_score(-power(10, 20)); show_debug_message(string(score));'
                ' action_set_score(2.5); show_debug_message(string(score));'
                ' action_set_caption(1, "S: ", 1, "L: ", 1, "H: ");'
                ' show_debug_message(caption_score + caption_lives + caption_health + string(show_lives));'
                ' game_end();')
        _, lines = self.play_output(game([("control", "", [(0, 0, code)])], [("rm0", [0])]))
        self.assertEqual(lines, ["2147483647", "2147483647", "-2147483648", "2", "S: L: H: 1"])


class ScriptsAndParents(RunnerTest):
    def test_scripts_get_five_arguments_and_inherited_runs_the_parents_event(self):
        objects = [
            ("parent", "", [(3, 0, 'show_debug_message("parent step for " + string(object_index));')]),
            ("child", "parent=0", [(3, 0, 'action_inherited(); show_debug_message("child step");'),
                                   (0, 0, 'show_debug_message(string(action_execute_script(0, 1, 2, 3, 4, 5)));'
                                          ' show_debug_message(action_execute_script(1, "a", "b", 0, 0, 0));')]),
            ("control", "", [(3, 0, "game_end();")]),
        ]
        scripts = ['SCRIPT "scr_sum" text="return argument0 * 10000 + argument1 * 1000 + argument2 * 100'
                   ' + argument3 * 10 + argument4;"',
                   'SCRIPT "scr_cat" text="return argument0 + argument1 + string(argument_count);"']
        _, lines = self.play_output(game(objects, [("rm0", [1, 2])], scripts))
        self.assertEqual(lines, ["12345", "ab5", "parent step for 1", "child step"])


class Messages(RunnerTest):
    def test_a_message_box_shows_line_breaks_and_numbers_in_exponent_form(self):
        code = 'action_message("one#two"); action_message(2.5); game_end();'
        r, _ = self.play_output(game([("control", "", [(0, 0, code)])], [("rm0", [0])]))
        self.assertIn("one\ntwo\n", r.stderr)
        self.assertIn("2.500000e+00\n", r.stderr)


class WebPages(RunnerTest):
    """A stand-in opener first on PATH records the arguments of each call in a
    file of its own."""

    def setUp(self):
        super().setUp()
        bin_dir = self.path("bin")
        self.calls = self.path("calls")
        os.makedirs(bin_dir)
        os.makedirs(self.calls)
        opener = os.path.join(bin_dir, "xdg-open")
        with open(opener, "w") as f:
            f.write('#!/bin/sh\nf=$(mktemp "%s/call.XXXXXX")\nprintf "%%s\\036" "$#" "$@" > "$f.tmp"\n'
                    'mv "$f.tmp" "$f"\n' % self.calls)
        os.chmod(opener, 0o755)
        self.env["PATH"] = bin_dir + os.pathsep + self.env["PATH"]

    def recorded(self, expected_calls):
        deadline = time.time() + 20
        while True:
            files = [p for p in glob.glob(os.path.join(self.calls, "call.*")) if not p.endswith(".tmp")]
            if len(files) >= expected_calls or time.time() > deadline:
                break
            time.sleep(0.05)
        calls = []
        for p in files:
            with open(p, encoding="utf-8") as f:
                calls.append(f.read().split("\x1e")[:-1])
        return sorted(calls)

    def test_only_web_addresses_open_each_as_one_argument_never_through_a_shell(self):
        opened = ["http://a.example/?q=1;touch pwned1",
                  "HTTPS://b.example/$(touch pwned2)`touch pwned3`",
                  "hTtP://c.example/'\"quoted\" &| x"]
        refused = ["file:///etc/passwd", "touch pwned4", "xdg-open http://d.example", " http://e.example",
                   "javascript:alert(1)"]

        def literal(text):
            # A string of any characters: single-quoted pieces joined by quotes.
            return ' + "\'" + '.join("'" + piece + "'" for piece in text.split("'"))

        calls = "".join("action_webpage(%s);" % literal(a) for a in opened + refused)
        code = calls + " action_webpage(3); game_end();"
        _, lines = self.play_output(game([("control", "", [(0, 0, code)])], [("rm0", [0])]))
        self.assertEqual(lines.count("Failed to open the webpage."), len(refused) + 1, lines)
        self.assertEqual(self.recorded(len(opened)), sorted([["1", a] for a in opened]))
        for n in range(1, 5):
            self.assertFalse(os.path.exists(self.path("pwned%d" % n)))


class SoundUnderNoAudio(RunnerTest):
    STEP = ('t += 1; action_sound(0, 0); action_sound(7, 1); action_end_sound(0); action_end_sound(7);'
            ' if (action_if_sound(0) || action_if_sound(7)) show_debug_message("playing");'
            ' if (t == 10) game_end();')

    def setUp(self):
        super().setUp()
        self.env["TARNWICKE_FRAMES"] = "30"
        sine_wav(self.path("boom.wav"))

    def play(self, options, sound, args):
        objects = [("control", "", [(0, 0, "t = 0;"), (3, 0, self.STEP)])]
        resources = [sound, 'AUDIO file="boom.wav"']
        return self.play_output(game(objects, [("rm0", [0])], resources, options), args)

    def test_every_step_of_sound_actions_prints_nothing_with_noaudio(self):
        for system, options, sound in (("legacy", "", 'SOUND "snd_boom" kind=0 file="boom.wav" audio=0'),
                                       ("new", "word2=1", 'SOUND "snd_boom" kind=101 file="boom.wav" audio=0')):
            with self.subTest(system=system):
                r, lines = self.play(options, sound, ["-noaudio"])
                self.assertEqual(lines, [])
                self.assertNotIn("non-existing", r.stderr)

    def test_with_sound_a_legacy_game_is_told_of_a_missing_sound_once(self):
        _, lines = self.play("", 'SOUND "snd_boom" kind=0 file="boom.wav" audio=0', [])
        self.assertEqual(lines.count("Trying to play non-existing sound."), 1, lines)
        self.assertEqual(lines.count("Trying to stop non-existing sound."), 1, lines)


if __name__ == "__main__":
    import unittest
    unittest.main()
