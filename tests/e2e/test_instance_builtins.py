"""Instances made, destroyed, deactivated and sent along paths by a game's
own code, and its room and game requests, as the output console shows them:
an instance made in a step is there at once for its create event, for
`with` and for `instance_number`; destroying inside `with (all)` skips and repeats nothing;
deactivated instances get no events and come back with their ids; every
path end action against a step-by-step oracle; the errors of impossible room
moves; and a restart that starts over with ids never used before."""

import os

from twtest import RunnerTest


def quoted(text):
    return text.replace("\\", "\\\\").replace('"', '\\"').replace("\n", "\\n")


def game(objects, instances, rooms=1, extra=""):
    """objects: [(name, {(type, sub): text})]; instances: [(object index,
    x, y, id)] placed in room 0; `rooms` rooms in all."""
    out = ['GEN8 version=13 debug=1 name="I" display="I" width=200 height=200 last_instance=100100',
           "OPTN", extra]
    for name, events in objects:
        out.append(f'OBJECT "{name}" depth=0')
        for (kind, sub), text in events.items():
            out.append(f'  EVENT {kind} {sub} text="{quoted(text)}"')
        out.append("END")
    for r in range(rooms):
        out.append(f'ROOM "rm{r}" width=200 height=200 code=0')
        if r == 0:
            for obj, x, y, iid in instances:
                out.append(f"  INSTANCE x={x} y={y} object={obj} id={iid} code=0")
        out.append("END")
    out += ["EMPTY CODE", "STRG", ""]
    return "\n".join(out)


class GameCode(RunnerTest):
    def play(self, description, frames):
        self.env["TARNWICKE_FRAMES"] = str(frames)
        out = self.path("out.txt")
        if os.path.exists(out):
            os.remove(out)
        r = self.run_runner(["-game", self.pack(description), "-output", out])
        lines = []
        if os.path.exists(out):
            with open(out, encoding="utf-8", errors="replace") as f:
                lines = f.read().splitlines()
        return r, lines

    @staticmethod
    def said(lines, prefix):
        return [l[len(prefix):].strip() for l in lines if l.startswith(prefix)]


class Instances(GameCode):
    def test_a_new_instance_is_there_at_once(self):
        control = {(0, 0): "t = 0;",
                   (3, 1): "t += 1; if (t == 2) {"
                           " global.c = 0; with (thing) global.c += 1;"
                           " show_debug_message(\"before \" + string(global.c));"
                           " made = instance_create(10, 10, thing);"
                           " show_debug_message(\"made \" + string(made));"
                           " global.c = 0; global.ids = \"\";"
                           " with (thing) { global.c += 1; global.ids += string(id) + \" \"; }"
                           " show_debug_message(\"after \" + string(global.c) + \" \" + global.ids);"
                           " show_debug_message(\"number \" + string(instance_number(thing)));"
                           " }"}
        thing = {(0, 0): "show_debug_message(\"create \" + string(id));"}
        r, lines = self.play(game([("control", control), ("thing", thing)],
                                  [(0, 0, 0, 100001), (1, 5, 5, 100002)]), 3)
        self.assertEqual(r.returncode, 0, r.stderr)
        events = [l for l in lines if l.split(" ")[0] in ("before", "made", "create", "after", "number")]
        self.assertEqual(events, ["create 100002", "before 1", "create 100101", "made 100101",
                                  "after 2 100002 100101 ", "number 2"])

    def test_destroying_inside_with_all_visits_each_once(self):
        control = {(0, 0): "t = 0;",
                   (3, 1): "t += 1; if (t == 2) { global.seen = \"\";"
                           " with (all) { global.seen += string(id) + \" \";"
                           " if (object_index == 1) { instance_destroy(); instance_destroy(); } }"
                           " show_debug_message(\"seen \" + global.seen); }"
                           " if (t == 3) { global.c = 0; with (all) global.c += 1;"
                           " show_debug_message(\"left \" + string(global.c)); }"}
        thing = {(1, 0): "show_debug_message(\"destroy \" + string(id));"}
        placed = [(0, 0, 0, 100001)] + [(1, 10 * i, 20, 100002 + i) for i in range(5)]
        r, lines = self.play(game([("control", control), ("thing", thing)], placed), 4)
        self.assertEqual(r.returncode, 0, r.stderr)
        seen = self.said(lines, "seen")[0].split()
        self.assertEqual(sorted(seen), [str(100001 + i) for i in range(6)])
        self.assertEqual(sorted(self.said(lines, "destroy")), [str(100002 + i) for i in range(5)])
        self.assertEqual(self.said(lines, "left"), ["1"])

    def test_deactivated_instances_get_no_events_and_return_with_their_ids(self):
        control = {(0, 0): "t = 0;",
                   (3, 1): "t += 1; show_debug_message(\"frame \" + string(t));"
                           " if (t == 2) instance_deactivate_object(thing);"
                           " if (t == 4) instance_activate_all();"
                           " global.c = 0; global.ids = \"\";"
                           " with (thing) { global.c += 1; global.ids += string(id) + \" \"; }"
                           " show_debug_message(\"count \" + string(global.c) + \" \" + global.ids);"
                           " show_debug_message(\"number \" + string(instance_number(thing)));"}
        thing = {(3, 0): "show_debug_message(\"step \" + string(id));",
                 (8, 0): "show_debug_message(\"draw \" + string(id));"}
        placed = [(0, 0, 0, 100001), (1, 10, 10, 100007), (1, 30, 10, 100008)]
        r, lines = self.play(game([("control", control), ("thing", thing)], placed), 5)
        self.assertEqual(r.returncode, 0, r.stderr)
        frames, current = {}, None
        for line in lines:
            if line.startswith("frame "):
                current = int(line.split()[1])
                frames[current] = []
            elif current is not None:
                frames[current].append(line)
        both = ["count 2 100007 100008 ", "draw 100007", "draw 100008", "number 2", "step 100007",
                "step 100008"]
        self.assertEqual(sorted(frames[1]), both)
        # Deactivated in the begin step: nothing more of them in that step.
        self.assertEqual(frames[2], ["count 0 ", "number 0"])
        self.assertEqual(frames[3], ["count 0 ", "number 0"])
        self.assertEqual(sorted(frames[4]), both)


def path_oracle(length, speed, end_action, steps):
    """x of an instance on a straight path from (0, 0) to (length, 0), and
    the steps whose end-of-path event fired, step by step."""
    pos, xstart, xs, ended, on = 0.0, 0.0, [], [], True
    for step in range(1, steps + 1):
        if on:
            pos += speed / length
            if pos >= 1 or pos <= 0:
                ended.append(step)
                if end_action == 0:
                    pos, on = 1.0, False
                elif end_action == 1:
                    pos = pos - 1 if pos >= 1 else pos + 1
                elif end_action == 2:
                    xstart += length if pos >= 1 else -length
                    pos = pos - 1 if pos >= 1 else pos + 1
                else:
                    if pos >= 1:
                        pos, speed = 2 - pos, -abs(speed)
                    else:
                        pos, speed = -pos, abs(speed)
        xs.append(xstart + pos * length)
    return xs, ended


class Paths(GameCode):
    def test_every_end_action(self):
        steps = 11
        for action in range(4):
            with self.subTest(end_action=action):
                mover = {(0, 0): f"path_start(0, 5, {action}, 1);",
                         (3, 2): "show_debug_message(\"x \" + string(x) + \" \" + string(path_index));",
                         (7, 8): "show_debug_message(\"end\");"}
                description = game([("mover", mover)], [(0, 90, 90, 100001)],
                                   extra='PATH "pth" kind=0 closed=0 precision=4 points=0,0,100,20,0,100')
                r, lines = self.play(description, steps)
                self.assertEqual(r.returncode, 0, r.stderr)
                xs, ended = path_oracle(20, 5, action, steps)
                seen, ends, step = [], [], 0
                for line in lines:
                    if line.startswith("x "):
                        step += 1
                        x, index = line.split()[1:]
                        seen.append(float(x))
                        self.assertEqual(index, "-1" if action == 0 and step >= 4 else "0", line)
                    elif line == "end":
                        ends.append(step + 1)  # the event comes before the end step's line
                self.assertEqual(seen, xs)
                self.assertEqual(ends, ended)


class Rooms(GameCode):
    def test_impossible_room_moves_report_and_end_the_run(self):
        cases = [("room_goto_next();", "Moving to next room after the last room."),
                 ("room_goto(7);", "Unexisting room number: 7"),
                 ("room_goto_previous();", "Moving to previous room before the first room.")]
        for code, message in cases:
            with self.subTest(code=code):
                control = {(3, 0): code + " show_debug_message(\"went on\");",
                           (7, 4): "show_debug_message(\"room \" + string(room));"}
                r, lines = self.play(game([("control", control)], [(0, 0, 0, 100001)], rooms=1), 5)
                self.assertEqual(r.returncode, 1, r.stderr)
                self.assertTrue(any(message in l for l in lines), lines)
                self.assertEqual(self.said(lines, "room"), ["0"])  # no room was entered after it

    def test_next_and_previous_move_inside_the_order(self):
        control = {(7, 4): "show_debug_message(\"room \" + string(room));"
                           " if (room == 0) room_goto_next(); else if (room == 1) room_goto_next();"
                           " else game_end();"}
        description = game([("control", control)], [(0, 0, 0, 100001)], rooms=3)
        description = description.replace('ROOM "rm1" width=200 height=200 code=0',
                                          'ROOM "rm1" width=200 height=200 code=0\n  INSTANCE x=0 y=0 object=0 id=100002 code=0')
        description = description.replace('ROOM "rm2" width=200 height=200 code=0',
                                          'ROOM "rm2" width=200 height=200 code=0\n  INSTANCE x=0 y=0 object=0 id=100003 code=0')
        r, lines = self.play(description, 10)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(self.said(lines, "room"), ["0", "1", "2"])

    def test_restart_starts_over_with_fresh_ids(self):
        control = {(0, 0): "global.runs += 1; made = instance_create(0, 0, thing);"
                           " if (global.runs == 1) global.first = made;"
                           " global.seen = 0; with (global.first) global.seen += 1;"
                           " show_debug_message(\"run \" + string(global.runs) + \" self \" + string(id)"
                           " + \" made \" + string(made) + \" old \" + string(global.seen));",
                   (3, 0): "if (global.runs == 1) game_restart();",
                   (7, 2): "show_debug_message(\"game start\");"}
        r, lines = self.play(game([("control", control), ("thing", {})], [(0, 0, 0, 100001)]), 4)
        self.assertEqual(r.returncode, 0, r.stderr)
        runs = [l for l in lines if l.startswith("run ") or l == "game start"]
        self.assertEqual(runs, ["run 1 self 100001 made 100101 old 1", "game start",
                                "run 2 self 100001 made 100102 old 0", "game start"])


if __name__ == "__main__":
    import unittest
    unittest.main()
