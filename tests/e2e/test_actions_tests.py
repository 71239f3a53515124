"""Actions called from a game's own event code the way compiled drag-and-drop
code calls them: a test action chooses whether the block after it runs, the
relative flag changes what the following actions do, and instances made or
destroyed by actions get their events, all as the output console shows."""

from twtest import RunnerTest


def quoted(text):
    return text.replace("\\", "\\\\").replace('"', '\\"').replace("\n", "\\n")


def game(objects, instances):
    """objects: [(name, {(type, sub): text})]; instances: [(object, x, y, id)]."""
    out = ['GEN8 version=13 debug=1 name="A" display="A" width=200 height=200 last_instance=100100',
           "OPTN"]
    for name, events in objects:
        out.append(f'OBJECT "{name}" depth=0')
        for (kind, sub), text in events.items():
            out.append(f'  EVENT {kind} {sub} text="{quoted(text)}"')
        out.append("END")
    out.append('ROOM "rm0" width=200 height=200 code=0')
    for obj, x, y, iid in instances:
        out.append(f"  INSTANCE x={x} y={y} object={obj} id={iid} code=0")
    out += ["END", "EMPTY CODE", "STRG", ""]
    return "\n".join(out)


def branch(label, test):
    """The compiled form of a test action followed by a block and an else."""
    return (f'if ({test}) {{ show_debug_message("{label} then"); }}'
            f' else {{ show_debug_message("{label} else"); }}')


class ActionBranches(RunnerTest):
    def said(self, lines, prefix):
        return [l[len(prefix):].strip() for l in lines if l.startswith(prefix)]

    def test_a_test_action_runs_the_block_only_when_true(self):
        control = {(0, 0): " ".join([
            branch("equal", "action_if_variable(3, 3, 0)"),
            branch("smaller", 'action_if_variable("abc", "abd", 1)'),
            branch("larger", 'action_if_variable("abc", "abd", 2)'),
            branch("mixed", 'action_if_variable(3, "3", 0)'),
            branch("seven", "action_if_variable(4, 4, 7)"),
            branch("dice", "action_if_dice(1)"),
            branch("count", "action_if_number(thing, 0, 0)"),
            # Not: the block runs when the test fails.
            branch("not", "!action_if_variable(1, 2, 0)"),
        ])}
        r, lines = self.play_output(game([("control", control), ("thing", {})], [(0, 0, 0, 100001)]))
        self.assertEqual(self.said(lines, "equal"), ["then"])
        self.assertEqual(self.said(lines, "smaller"), ["then"])
        self.assertEqual(self.said(lines, "larger"), ["else"])
        self.assertEqual(self.said(lines, "mixed"), ["else"])
        self.assertEqual(self.said(lines, "seven"), ["then"])
        self.assertEqual(self.said(lines, "dice"), ["then"])
        self.assertEqual(self.said(lines, "count"), ["then"])
        self.assertEqual(self.said(lines, "not"), ["then"])
        self.assertTrue(any("Cannot compare arguments." in l for l in lines), lines)

    def test_relative_actions_and_the_instances_they_make(self):
        control = {
            (0, 0): ("t = 0; alarm[1] = 5;"
                     " action_set_relative(1);"
                     " action_set_alarm(10, 0); action_set_alarm(10, 1);"
                     " action_create_object_motion(thing, 5, 6, 4, 90);"
                     " action_set_relative(0);"
                     ' show_debug_message("alarms " + string(alarm[0]) + " " + string(alarm[1]));'),
            (3, 0): ("t += 1; if (t == 2) {"
                     + branch("near", "action_if_object(thing, 5, 6)") +
                     ' action_move("1", 3);'
                     " }"),
        }
        thing = {
            (0, 0): 'show_debug_message("made " + string(x) + "," + string(y) + " speed " + string(speed)'
                    ' + " dir " + string(direction));',
            (3, 0): "action_kill_object(); action_kill_object();",
            (1, 0): 'show_debug_message("destroyed " + string(id));',
        }
        r, lines = self.play_output(game([("control", control), ("thing", thing)], [(0, 40, 50, 100001)]))
        # The motion is there before the create event runs; the place is
        # relative to the control.
        self.assertEqual(self.said(lines, "made"), ["45,56 speed 4 dir 90"])
        self.assertEqual(self.said(lines, "alarms"), ["10 15"])
        self.assertEqual(len(self.said(lines, "destroyed")), 1, lines)
        self.assertEqual(self.said(lines, "near"), ["else"])  # destroyed in step 1
        self.assertTrue(any("Wrong argument to action_move()." in l for l in lines), lines)

    def test_a_question_shows_its_lines_and_answers_the_test(self):
        self.env["TARNWICKE_DIALOG_ANSWERS"] = self.write("answers.txt", b"yes\nno\n")
        control = {(0, 0): branch("first", 'action_if_question("Ready?#Go")') + " "
                           + branch("second", 'action_if_question("Again\\#1")')}
        r, lines = self.play_output(game([("control", control)], [(0, 0, 0, 100001)]))
        self.assertEqual(self.said(lines, "first"), ["then"])
        self.assertEqual(self.said(lines, "second"), ["else"])
        # The line break is a carriage return, which reading the text turns
        # into a newline; a "#" after a backslash stays.
        self.assertIn(": Ready?\nGo\n", r.stderr)
        self.assertIn(": Again#1\n", r.stderr)
