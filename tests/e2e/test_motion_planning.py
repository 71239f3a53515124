"""Motion planning and the instance queries in a running game: a walker
steps with mp_potential_step around a wall to its goal, never standing in
the wall, and the queries answer for each kind of target."""

import unittest

from twtest import RunnerTest


def quoted(text):
    return text.replace("\\", "\\\\").replace('"', '\\"').replace("\n", "\\n")


# A wall of 16-pixel boxes down x = 160 from y = 64 to 191, between the
# walker at (64, 120) and its goal at (240, 120).
WALKER_STEP = """
steps += 1;
if (instance_place(x, y, wall) != noone) show_debug_message("inside the wall");
if (mp_potential_step(240, 120, 4, false)) {
  show_debug_message("reached " + string(x) + " " + string(y) + " in " + string(steps));
  game_end();
} else {
  show_debug_message("at " + string(round(x)) + " " + string(round(y)));
}
"""


def walker_game():
    lines = ['GEN8 version=13 debug=1 name="P" display="P" rooms=0', "OPTN",
             'SPRITE "box" width=16 height=16 right=15 bottom=15 frames=-1',
             'OBJECT "wall" sprite=0 solid=1 depth=0', "END",
             'OBJECT "walker" sprite=0 depth=0',
             '  EVENT 0 0 text="steps = 0;"',
             f'  EVENT 3 0 text="{quoted(WALKER_STEP)}"', "END",
             'ROOM "r" width=320 height=240']
    for y in range(64, 192, 16):
        lines.append(f"  INSTANCE x=160 y={y} object=0")
    lines += ["  INSTANCE x=64 y=120 object=1", "END", ""]
    return "\n".join(lines)


# The asker stands on the first of two boxes and comes last, so both boxes
# exist when its create event asks.
ASKER_CREATE = """
show_debug_message("q " + string(collision_point(5, 5, all, false, true)) + " "
  + string(collision_point(5, 5, box, false, false)) + " " + string(collision_point(5, 5, self, false, false)) + " "
  + string(collision_point(5, 5, 100002, false, false)) + " " + string(collision_line(0, 5, 200, 5, box, true, true)));
show_debug_message("q " + string(instance_number(box)) + " " + string(instance_number(self)) + " "
  + string(instance_find(box, 1)) + " " + string(instance_find(100002, 1)) + " " + string(instance_exists(100003)));
show_debug_message("q " + string(position_meeting(5, 5, self)) + " " + string(distance_to_object(100002)) + " "
  + string(instance_nearest(90, 0, box)) + " " + string(instance_place(x + 90, y, all)));
"""


def asker_game():
    return "\n".join([
        'GEN8 version=13 debug=1 name="Q" display="Q" rooms=0', "OPTN",
        'SPRITE "box" width=16 height=16 right=15 bottom=15 frames=-1',
        'OBJECT "box" sprite=0 depth=0', "END",
        'OBJECT "asker" sprite=0 depth=0', f'  EVENT 0 0 text="{quoted(ASKER_CREATE)}"', "END",
        'ROOM "r" width=320 height=240',
        "  INSTANCE x=0 y=0 object=0 id=100001",
        "  INSTANCE x=100 y=0 object=0 id=100002",
        "  INSTANCE x=5 y=5 object=1 id=100003",
        "END", ""])


class MotionPlanning(RunnerTest):
    def run_game(self, description, frames):
        self.env["TARNWICKE_FRAMES"] = str(frames)
        out = self.path("out.txt")
        r = self.run_runner(["-game", self.pack(description), "-output", out])
        self.assertEqual(r.returncode, 0, r.stderr)
        with open(out, encoding="utf-8") as f:
            return f.read().splitlines()

    def test_a_potential_step_walks_around_a_wall_to_its_goal(self):
        lines = self.run_game(walker_game(), 400)
        self.assertNotIn("inside the wall", lines)
        self.assertNotIn("ERROR", "\n".join(lines))
        reached = [l for l in lines if l.startswith("reached")]
        self.assertEqual(len(reached), 1, lines[-5:])
        self.assertTrue(reached[0].startswith("reached 240 120 in "), reached[0])
        places = [tuple(int(v) for v in l.split()[1:]) for l in lines if l.startswith("at ")]
        # It went round an end of the wall: above its top or below its
        # bottom wherever its box shared columns with the wall.
        crossing = [(x, y) for x, y in places if x + 16 > 160 and x < 176]
        self.assertTrue(crossing)
        self.assertTrue(all(y + 16 <= 64 or y >= 192 for x, y in crossing), crossing)
        # No longer than needed: a few times the straight 176 pixels in
        # steps of 4.
        self.assertLess(int(reached[0].split()[-1]), 150)

    def test_the_queries_answer_for_each_kind_of_target(self):
        lines = [l for l in self.run_game(asker_game(), 1) if l.startswith("q ")]
        self.assertEqual(lines, ["q 100001 100001 -4 -4 100001",
                                 "q 2 1 100002 -4 1",
                                 "q 1 80 100002 100002"])


if __name__ == "__main__":
    unittest.main()
