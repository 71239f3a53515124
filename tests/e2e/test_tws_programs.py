"""Small script programs given as source text, run on the bytecode machine
and again on the tree interpreter ("-oldexec"); each prints through
show_debug_message into the output file and ends with game_end. Where the
two paths differ on purpose (the machine truncates and compares with an
epsilon, the interpreter rounds and compares exactly), both answers are
pinned down."""


from twtest import RunnerTest

MACHINE = ()
TREE = ("-oldexec",)


def quoted(text):
    return text.replace("\\", "\\\\").replace('"', '\\"').replace("\n", "\\n")


def game(main, scripts=None, objects=(), instances=()):
    """A game of text code: `main` is the create event of the controller, the
    last instance of the one room; `objects` are (name, create event text)
    and `instances` (object index, id) placed before it."""
    out = ['GEN8 version=13 debug=1 name="P" display="P" last_instance=100100 rooms=0', "OPTN"]
    for name, text in (scripts or {}).items():
        out.append(f'SCRIPT "{name}" text="{quoted(text)}"')
    for name, create in objects:
        out += [f'OBJECT "{name}" depth=0', f'  EVENT 0 0 text="{quoted(create)}"', "END"]
    controller = len(objects)
    out += ['OBJECT "main" depth=0', f'  EVENT 0 0 text="{quoted(main)}"', "END"]
    out.append('ROOM "rm_main" code=0')
    for obj, iid in instances:
        out.append(f"  INSTANCE x=0 y=0 object={obj} id={iid} code=0")
    out.append(f"  INSTANCE x=0 y=0 object={controller} id=100099 code=0")
    out += ["END", "EMPTY CODE", "STRG", ""]
    return "\n".join(out)


class TwsPrograms(RunnerTest):
    def output(self, description, mode):
        """The lines the game printed, run on `mode`."""
        return self.game_output(description, mode).splitlines()

    def both(self, description, expected, **_):
        for mode in (MACHINE, TREE):
            with self.subTest(mode=mode or "machine"):
                self.assertEqual(self.output(description, mode), expected)

    def test_switch_falls_through_and_default_before_a_case_wins(self):
        main = """
var i;
for (i = 0; i < 4; i += 1) {
  switch (i) {
    case 0: show_debug_message("zero");
    case 1: show_debug_message("one"); break;
    default: show_debug_message("other " + string(i)); break;
    case 3: show_debug_message("three");
  }
}
switch ("b") { case "a": show_debug_message("a"); case "b": show_debug_message("b"); case "c": show_debug_message("c"); }
switch (7) { case 1: show_debug_message("no"); }
i = 0;
while (i < 3) { i += 1; switch (i) { case 2: continue; } show_debug_message("loop " + string(i)); }
game_end();
"""
        self.both(game(main), ["zero", "one", "one", "other 2", "other 3", "b", "c", "loop 1", "loop 3"])

    def test_loops_break_continue_and_exit(self):
        main = """
var n, i;
n = 0; repeat (4) n += 1; show_debug_message("repeat " + string(n));
n = 0; i = 0; do { i += 1; if (i == 2) continue; n += i; } until (i >= 5); show_debug_message("do " + string(n));
n = 0; for (i = 0; i < 100; i += 1) { if (i == 10) break; n += i; } show_debug_message("for " + string(n));
repeat (0) show_debug_message("never");
repeat (-3) show_debug_message("never");
show_debug_message("before exit");
game_end();
exit;
show_debug_message("after exit");
"""
        self.both(game(main), ["repeat 4", "do 13", "for 45", "before exit"])

    def test_nested_script_calls_restore_the_argument_slots(self):
        scripts = {
            "inner": "return argument0 * 10 + argument_count;",
            "outer": ("var r; r = inner(argument1);\n"
                      "return string(argument0) + \",\" + string(argument1) + \",\" + string(r) + \",\" + string(argument_count);"),
            "fact": "if (argument0 <= 1) return 1; return argument0 * fact(argument0 - 1);",
            "noreturn": "inner(1);",
        }
        main = """
show_debug_message(outer(1, 2, 3));
show_debug_message(outer("a", 4));
show_debug_message(fact(10));
show_debug_message(noreturn());
game_end();
"""
        self.both(game(main, scripts), ["1,2,21,3", "a,4,41,2", "3628800", "0"])

    def test_resource_and_platform_names_are_constants(self):
        # Every kind of resource at an index of its own, so that a name
        # resolved to the wrong table or not at all shows.
        main = """
sprite_index = spr_player;
show_debug_message(string(sprite_index) + " " + string(bg_sky) + " " + string(scr_twice) + " " + string(tl_intro)
                   + " " + string(main) + " " + string(rm_main));
show_debug_message(scr_twice(21) + spr_player);
show_debug_message(string(os_linux) + " " + string(ds_type_queue) + " " + string(asset_timeline) + " "
                   + string(browser_not_a_browser));
game_end();
"""
        description = "\n".join([
            'GEN8 version=13 debug=1 name="P" display="P" last_instance=100100 rooms=2',
            "OPTN",
            "ENTRY x=0 y=0 width=2 height=2 page=0",
            "PAGE width=2 height=2 fill=0xFF0000FF",
            "SPRITE none",
            'SPRITE "spr_player" width=2 height=2 right=1 bottom=1 frames=0',
            "BGND none",
            "BGND none",
            'BGND "bg_sky" entry=0',
            "SCRIPT none",
            'SCRIPT "scr_other" text="return 0;"',
            'SCRIPT "scr_twice" text="return argument0 * 2;"',
            "TIMELINE none", "TIMELINE none", "TIMELINE none",
            'TIMELINE "tl_intro"', "END",
            "OBJECT none", "OBJECT none", "OBJECT none", "OBJECT none",
            'OBJECT "main" depth=0', f'  EVENT 0 0 text="{quoted(main)}"', "END",
            "ROOM none",
            'ROOM "rm_spare" code=0', "END",
            'ROOM "rm_main" code=0', "  INSTANCE x=0 y=0 object=4 id=100099 code=0", "END",
            "EMPTY CODE", "STRG", ""])
        self.both(description, ["1 2 2 3 4 2", "43", "6 4 8 -1"])

    def test_with_over_objects_other_all_and_instance_ids(self):
        objects = [("thing", "global.made += 1; v = global.made;")]
        instances = [(0, 100001), (0, 100002), (0, 100003)]
        main = """
global.total = 0; seen = 0;
with (thing) { global.total += v; other.seen += 1; }
show_debug_message("sum " + string(global.total) + " seen " + string(seen));
global.count = 0;
with (all) global.count += 1;
show_debug_message("all " + string(global.count));
with (100002) show_debug_message("one " + string(v));
with (100050) show_debug_message("missing");
with (noone) show_debug_message("noone");
with (thing) { if (v == 2) break; global.last = v; }
global.inner = 0;
with (thing) with (other) global.inner += 1;
show_debug_message("inner " + string(global.inner));
with (self) show_debug_message("self " + string(seen));
game_end();
"""
        self.both(game(main, objects=objects, instances=instances),
                  ["sum 6 seen 3", "all 4", "one 2", "inner 3", "self 3"])

    def test_arrays_in_one_and_two_dimensions(self):
        main = """
var a, b, i, s;
a[2, 3] = 5; a[0, 0] = "s"; a[1, 0] = 7;
show_debug_message(string(a[2, 3]) + a[0, 0] + string(a[1, 0]));
for (i = 9; i >= 0; i -= 1) b[i] = i * i;
s = 0; for (i = 0; i < 10; i += 1) s += b[i];
show_debug_message(s);
global.g[3] = "three"; show_debug_message(global.g[3]);
game_end();
"""
        self.both(game(main), ["5s7", "285", "three"])

    def test_string_and_number_operators(self):
        main = """
var s, m, h;
s = "ab"; m = -7; h = 5.5;
show_debug_message(s + "cd");
show_debug_message(2 * s);
show_debug_message(string(7 div 2) + " " + string(m div 2) + " " + string(m mod 3) + " " + string(h mod 2));
show_debug_message("B" < "a");
show_debug_message(string(1 << 4) + " " + string(m >> 1) + " " + string(6 & 3) + " " + string(6 | 3) + " " + string(6 ^ 3));
show_debug_message(string(!0) + string(!1) + string(-h));
game_end();
"""
        self.both(game(main), ["abcd", "abab", "3 -3 -1 1.50", "1", "16 -4 2 7 5", "10-5.50"])

    def test_grammar_rules(self):
        main = """
var a, c;
a = 1;
c = (a = 1); show_debug_message(c);
if (a = 2) show_debug_message("wrong") else show_debug_message("compare");
show_debug_message(1 || 0 && 0);
show_debug_message(1 ^^ 1 || 1);
show_debug_message(2 & 1 == 0);
show_debug_message(1 + 2 * 3 - 4 / 2);
global.v = 3; global.f = 0;
show_debug_message(-global.v);
show_debug_message(!global.f);
game_end();
"""
        self.both(game(main), ["1", "compare", "0", "1", "1", "5", "-3", "1"])

    def test_the_paths_differ_where_they_mean_to(self):
        # At run time the machine truncates and compares within an epsilon;
        # the interpreter rounds and compares exactly. Folded constants follow
        # the interpreter's rules on both paths.
        main = """
var a, b, h, n, k, w;
a = 0.1; b = a + 0.2; show_debug_message(b == 0.3);
h = 5.5; show_debug_message(h | 0); show_debug_message(~h);
show_debug_message(5.5 | 0);
n = 0; repeat (2.6) n += 1; show_debug_message(n);
k = 0.5; w = 0; while (k) { w += 1; if (w >= 3) break; } show_debug_message(w);
if (k) show_debug_message("if") else show_debug_message("else");
game_end();
"""
        d = game(main)
        self.assertEqual(self.output(d, MACHINE), ["1", "5", "-6", "6", "2", "0", "else"])
        self.assertEqual(self.output(d, TREE), ["0", "6", "-7", "6", "3", "3", "else"])

    def test_runaway_recursion_stops_with_an_error(self):
        # The machine shows its stack-overflow message and abandons the
        # event; the interpreter reports the error through the output.
        scripts = {"down": "return down(argument0 + 1);"}
        main = 'down(0);\nshow_debug_message("after");\ngame_end();'
        path = self.pack(game(main, scripts))
        result = self.run_runner(["-game", path])
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("Stack overflow...", result.stderr)
        lines = self.output(game(main, scripts), TREE)
        self.assertIn("In script down:", lines)
        self.assertEqual(lines.count("In script down:"), 1)
        self.assertTrue(any("Stack overflow: code nests too deeply." in l for l in lines), lines[-5:])
        self.assertNotIn("after", lines)

    def test_interpreter_errors_name_the_fault(self):
        cases = [
            ("var a; a[0, 40000] = 1;", "Array index >= 32000"),
            ("var a; a[-1] = 1;", "Negative array index"),
            ('var a, s; s = "x"; a = 1 + s;', "Wrong type of arguments to +."),
            ("var a, z; z = 0; a = 1 / z;", "Division by 0."),
            ('with (global) x = 1;', "Cannot use global in with statement."),
            ('repeat ("x") {}', "Repeat count must be a number"),
            ("var q; q = noone.nosuchvar;", "Unknown variable nosuchvar"),
            ("var q; q = 1; q = q + undefinedscript_value;", None),
            ("var a, b; a = 1; b = a ^^ \"s\";", "Wrong type of arguments for ^^."),
        ]
        for text, message in cases:
            with self.subTest(text=text):
                lines = self.output(game(text + '\nshow_debug_message("went on");\ngame_end();'), TREE)
                if message is None:
                    # Unset variables read as 0 unless the game asks otherwise.
                    self.assertEqual(lines, ["went on"])
                    continue
                self.assertTrue(any(message in l for l in lines), lines)
                self.assertNotIn("went on", lines)

    def test_a_refused_value_is_reported_and_the_game_goes_on(self):
        # room_speed turns away values below 1 with its own report; that is
        # not a failed write, so neither path ends the event or the game.
        main = """
var before;
before = room_speed;
room_speed = 0;
show_debug_message("kept " + string(room_speed == before));
room_speed = -4.5;
room_speed = 45;
show_debug_message("speed " + string(room_speed));
game_end();
"""
        refusal = "Trying to set the room speed to a value <= 0."
        for mode in (MACHINE, TREE):
            with self.subTest(mode=mode or "machine"):
                lines = self.output(game(main), mode)
                self.assertEqual(lines.count(refusal), 2, lines)
                self.assertNotIn("FATAL ERROR in", lines)
                self.assertEqual([l for l in lines if l.startswith(("kept", "speed"))], ["kept 1", "speed 45"])

    def test_a_read_only_variable_still_refuses_the_write(self):
        # Only a variable without a setter fails the write: the interpreter
        # ends the event with its report. (The machine's failed store is
        # fatal; the unit tests show its report and line.)
        main = 'instance_count = 3;\nshow_debug_message("went on");\ngame_end();'
        lines = self.output(game(main), TREE)
        self.assertIn("at position 1: Cannot assign to the variable", lines)
        self.assertNotIn("went on", lines)

    def test_run_time_errors_name_the_line_of_the_event_and_of_the_script(self):
        # The machine reports the refusal where it happens, with the script
        # calls that led there; the interpreter names the line of its error.
        scripts = {"slow": "var s;\ns = argument0;\nroom_speed = s - 2;\nreturn s;"}
        main = 'var r;\nr = 2;\nroom_speed = 0;\nr = slow(r);\nshow_debug_message("went on " + string(r));\ngame_end();'
        lines = self.output(game(main, scripts), MACHINE)
        self.assertIn(" at Object.main.Create.0 (line 3) - room_speed = 0;", lines)
        self.assertIn(" at Script.slow (line 3) - room_speed = s - 2;", lines)
        stack = lines.index("stack frame is")
        self.assertEqual(lines[stack:stack + 3],
                         ["stack frame is", "Script.slow (line 3)",
                          "called from - Object.main.Create.0 (line 4) - r = slow(r);"])
        self.assertIn("went on 2", lines)

        scripts = {"boom": "var z;\nz = 0;\nreturn 1 / z;"}
        objects = [("thing", "var a;\na = 1;\n\na = a / (a - 1);")]
        main = 'var r;\nr = boom();\nshow_debug_message("went on");'
        lines = self.output(game(main, scripts, objects, [(0, 100001)]), TREE)
        event = lines.index("for object thing:")
        self.assertEqual(lines[event + 3:event + 5], ["Error in code at line 4:", "   a = a / (a - 1);"])
        script = lines.index("In script boom:")
        self.assertEqual(lines[script + 1:script + 3], ["Error in code at line 3:", "   return 1 / z;"])
        self.assertNotIn("went on", lines)
